#include "support/text_placeholders.h"

#include <algorithm>
#include <regex>

namespace pw::test {

std::vector<std::string> placeholders(std::string_view text) {
  static const std::regex kPlaceholder(R"(%(\d+|[-+ #0-9.]*l{0,2}[sdiuxXcfp]))");
  std::vector<std::string> out;
  const std::string s(text);
  for (auto it = std::sregex_iterator(s.begin(), s.end(), kPlaceholder); it != std::sregex_iterator(); ++it)
    out.push_back(it->str());
  std::sort(out.begin(), out.end());
  return out;
}

int mnemonics(std::string_view text) {
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;
      continue;
    }
    ++n;
  }
  return n;
}

bool has_cjk(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0xE3 && b <= 0xE9) return true;  // U+3000 to U+9FFF
    if (b == 0xEF && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xFE) == 0xBC)
      return true;  // U+FF00 to U+FF7F, full-width forms
  }
  return false;
}

}  // namespace pw::test
