#pragma once
// The texts of the widgets as QString, in the program's language: numbered
// texts of the string table, and the texts written in the widget code in
// Chinese, whose English is in res/ui_texts_en.inc keyed by that Chinese.
#include <QString>

#include <string_view>
#include <vector>

#include "res/string_ids.h"

namespace pw::ui {

[[nodiscard]] QString text(int id);

// `chinese` (UTF-8) in the program's language: as it stands in Chinese, its
// English from the catalogue otherwise (the Chinese when the catalogue has
// none).
[[nodiscard]] QString text(const char* chinese);

// Every Chinese text of the catalogue with its English, in the file's order.
struct CatalogueEntry {
  std::string_view chinese;
  std::string_view english;
};
[[nodiscard]] const std::vector<CatalogueEntry>& english_catalogue();

}  // namespace pw::ui
