#include "ui/ui_text.h"

#include "res/string_table.h"

namespace pw::ui {

QString text(int id) {
  auto t = res::text_utf8(id);
  return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

}  // namespace pw::ui
