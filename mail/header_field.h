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
// Only a match at the start of a line counts. The value runs to its line end,
// and on over following lines while a line ends with ',' or ';' (address
// lists); other folded lines are not followed. Leading white space is
// trimmed, encoded words are decoded, CR and LF are removed.
[[nodiscard]] std::string header_field(std::string_view text, std::string_view key);

}  // namespace pw
