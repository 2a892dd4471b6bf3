#include "mail/header_field.h"

#include <algorithm>

#include "mail/encoded_words.h"

namespace pw {
namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// True when `key` matches `text` from `i`, blanks skipped on both sides.
bool matches_at(std::string_view text, std::string_view key, size_t i) {
  size_t j = i;
  size_t k = 0;
  for (;;) {
    while (k < key.size() && key[k] == ' ') ++k;
    if (k == key.size()) return true;
    while (j < text.size() && text[j] == ' ') ++j;
    if (j == text.size() || fold(text[j]) != fold(key[k])) return false;
    ++j;
    ++k;
  }
}

// The header block: the text before the first empty line (all of it when
// there is none), each line with its line end.
std::string_view header_block(std::string_view text) {
  if (text.starts_with("\n") || text.starts_with("\r\n")) return {};
  for (size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', lf + 1)) {
    std::string_view next = text.substr(lf + 1);
    if (next.starts_with("\n") || next.starts_with("\r\n")) return text.substr(0, lf + 1);
  }
  return text;
}

// End of the value that starts at `start`: its line end, or a later one when
// the next line is a folded continuation (it starts with a blank or a tab)
// or the line ends with ',' or ';'. The end excludes the CR LF.
size_t value_end(std::string_view text, size_t start) {
  size_t line_start = start;
  for (;;) {
    size_t lf = text.find('\n', line_start);
    if (lf == std::string_view::npos || lf + 1 == text.size()) {
      size_t end = lf == std::string_view::npos ? text.size() : lf;
      return end > line_start && text[end - 1] == '\r' ? end - 1 : end;
    }
    size_t end = lf;
    if (end > line_start && text[end - 1] == '\r') --end;
    char next = text[lf + 1];
    bool folded = next == ' ' || next == '\t';
    bool list_goes_on = end > line_start && (text[end - 1] == ',' || text[end - 1] == ';');
    if (!folded && !list_goes_on) return end;
    line_start = lf + 1;
  }
}

}  // namespace

std::ptrdiff_t find_header_key(std::string_view text, std::string_view key, std::ptrdiff_t start) {
  if (text.empty() || start < 0) return -1;
  for (size_t i = static_cast<size_t>(start); i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    if (matches_at(text, key, i)) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

std::string header_field(std::string_view text, std::string_view key) {
  // Only the header block holds headers: a quoted "Cc:" line in the body
  // is not the mail's copy list.
  text = header_block(text);
  std::ptrdiff_t found = find_header_key(text, key, 0);
  while (found > 0 && text[static_cast<size_t>(found) - 1] != '\n') {
    found = find_header_key(text, key, found + static_cast<std::ptrdiff_t>(key.size()));
  }
  if (found < 0) return {};
  // The value starts one key length after the match, even when the match
  // skipped blanks inside the name: "from :" leaves the colon in the value.
  size_t start = std::min(text.size(), static_cast<size_t>(found) + key.size());
  // Unfolding (RFC 5322 2.2.3) removes the line breaks before decoding, so
  // encoded words on continuation lines join the ones before them.
  std::string value(text.substr(start, value_end(text, start) - start));
  std::erase_if(value, is_line_end);
  std::string decoded = decode_encoded_words(value);
  std::erase_if(decoded, is_line_end);
  return decoded;
}

}  // namespace pw
