#pragma once
// Character-aware helpers for GB18030 byte strings. A trail byte of a double-
// byte character may look like an ASCII letter, so byte-wise searches and
// case folding would split or merge characters.
#include <cstddef>
#include <string_view>

namespace pw {

// Bytes of the character starting at `pos` (1, 2 or 4); a truncated sequence
// at the end of the text counts as single bytes.
[[nodiscard]] size_t gb_char_length(std::string_view text, size_t pos);

// Equal when the texts differ only in the letter case of ASCII characters.
[[nodiscard]] bool gb_equal_ignoring_case(std::string_view a, std::string_view b);

// First occurrence of `needle` at or after `from` that starts on a character
// boundary; npos when there is none.
[[nodiscard]] size_t gb_find(std::string_view text, std::string_view needle, size_t from = 0);

// Last occurrence of `needle` that starts on a character boundary, or npos.
[[nodiscard]] size_t gb_rfind(std::string_view text, std::string_view needle);

// The longest prefix of `text` of at most `max_bytes` that ends on a
// character boundary.
[[nodiscard]] std::string_view gb_prefix(std::string_view text, size_t max_bytes);

}  // namespace pw
