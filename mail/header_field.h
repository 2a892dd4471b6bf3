#pragma once
// Finding header lines in raw mail text. The search is deliberately loose:
// letters compare case-insensitively, blanks (0x20) are ignored on both sides,
// so "FROM:" and "From :" both satisfy the key "from:".
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

// Position of the first match of `key` in `text` at or after `start`, or -1.
// Positions holding a blank are not tried as match starts. An empty text or
// a negative start gives -1.
[[nodiscard]] std::ptrdiff_t find_header_key(std::string_view text, std::string_view key, std::ptrdiff_t start);

// The value of the header line whose name (with its colon) is `key`, or "".
// Only the header block (up to the first empty line) is searched, and only a
// match at the start of a line counts. The value runs over its folded
// continuation lines (RFC 5322 2.2.3), and on over following lines while a
// line ends with ',' or ';' (loosely written address lists). Line breaks are
// removed, leading white space is trimmed and encoded words are decoded.
[[nodiscard]] std::string header_field(std::string_view text, std::string_view key);

}  // namespace pw
