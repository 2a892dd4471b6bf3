#pragma once
// The tolerant quoted-printable decoder used for mail bodies, attachments and
// Q-encoded words.
#include <string>
#include <string_view>

namespace pw {

// "=XY" gives the byte 0xXY (as far as X and Y are hex digits), "=" at a line
// end is a soft line break, every other byte is copied. Dots are taken as
// they stand: the text is already unstuffed. An '=' followed by no hex digit at all is kept as it
// is. The result may hold any byte, NUL included.
[[nodiscard]] std::string quoted_printable_decode(std::string_view text);

// The Q encoding of RFC 2047 encoded words: as above, and '_' is a space.
[[nodiscard]] std::string quoted_printable_decode_word(std::string_view text);

}  // namespace pw
