#include "ui/ui_text.h"

#include <unordered_map>

#include "res/language.h"
#include "res/string_table.h"

namespace pw::ui {
namespace {

QString from_utf8(std::string_view t) { return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())); }

const std::unordered_map<std::string_view, std::string_view>& english_by_chinese() {
  static const auto map = [] {
    std::unordered_map<std::string_view, std::string_view> m;
    for (const CatalogueEntry& e : english_catalogue()) m.emplace(e.chinese, e.english);
    return m;
  }();
  return map;
}

}  // namespace

QString text(int id) { return from_utf8(res::text_utf8(id)); }

QString text(const char* chinese) {
  if (res::language() == res::Language::chinese) return QString::fromUtf8(chinese);
  const auto& map = english_by_chinese();
  auto it = map.find(chinese);
  return from_utf8(it == map.end() ? std::string_view(chinese) : it->second);
}

const std::vector<CatalogueEntry>& english_catalogue() {
  static const std::vector<CatalogueEntry> entries = {
#include "res/ui_texts_en.inc"
  };
  return entries;
}

}  // namespace pw::ui
