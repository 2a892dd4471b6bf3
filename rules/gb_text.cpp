#include "rules/gb_text.h"

namespace pw {
namespace {

unsigned char byte_at(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

size_t gb_char_length(std::string_view text, size_t pos) {
  unsigned char lead = byte_at(text, pos);
  if (lead < 0x81 || lead == 0xff || pos + 1 >= text.size()) return 1;
  unsigned char second = byte_at(text, pos + 1);
  if (second >= 0x30 && second <= 0x39) return pos + 3 < text.size() ? 4 : 1;
  return 2;
}

bool gb_equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0;
  while (i < a.size()) {
    size_t n = gb_char_length(a, i);
    if (n != gb_char_length(b, i)) return false;
    if (n == 1) {
      if (fold(a[i]) != fold(b[i])) return false;
    } else if (a.substr(i, n) != b.substr(i, n)) {
      return false;
    }
    i += n;
  }
  return true;
}

size_t gb_find(std::string_view text, std::string_view needle, size_t from) {
  size_t i = 0;
  while (i < from && i < text.size()) i += gb_char_length(text, i);
  for (;;) {
    if (text.substr(i).starts_with(needle)) return i;
    if (i >= text.size()) return std::string_view::npos;
    i += gb_char_length(text, i);
  }
}

size_t gb_rfind(std::string_view text, std::string_view needle) {
  if (needle.empty()) return text.size();
  size_t found = std::string_view::npos;
  for (size_t i = gb_find(text, needle); i != std::string_view::npos; i = gb_find(text, needle, i + 1)) found = i;
  return found;
}

std::string_view gb_prefix(std::string_view text, size_t max_bytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t n = gb_char_length(text, end);
    if (end + n > max_bytes) break;
    end += n;
  }
  return text.substr(0, end);
}

}  // namespace pw
