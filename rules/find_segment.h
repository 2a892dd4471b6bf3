#pragma once
// The left-most occurrence of a literal body-pattern segment in a text.
#include <cstddef>
#include <string_view>

namespace pw {

// Position of the first start p >= from where `segment` matches `text`
// byte by byte, '?' in the segment matching any one byte; the segment may end
// exactly at the end of the text. An empty segment matches at `from`; an empty
// remaining text matches nothing, not even an empty segment. npos when none.
[[nodiscard]] size_t find_segment(std::string_view text, std::string_view segment, size_t from = 0);

}  // namespace pw
