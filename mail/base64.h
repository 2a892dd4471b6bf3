#pragma once
// The Base64 transfer codec (RFC 4648 alphabet) in the forms the system uses.
#include <string>
#include <string_view>

namespace pw {

// Standard padded Base64 broken into lines of 76 characters: "\r\n" after
// every 76th output character, so an output whose length is a multiple of 76
// ends with "\r\n". Used for the parts of composed messages.
[[nodiscard]] std::string base64_encode_lines(std::string_view data);

// Standard padded Base64 on one line (RFC 4954 AUTH LOGIN).
[[nodiscard]] std::string base64_encode(std::string_view data);

// One line without '=' padding: 1 byte gives 2 characters, 2 give 3, 3 give 4.
[[nodiscard]] std::string base64_encode_unpadded(std::string_view data);

// Tolerant decoder: each byte is looked up by its low seven bits, bytes
// outside the alphabet (line ends, blanks, '=', anything else) are skipped,
// and leftover bits at the end are dropped.
[[nodiscard]] std::string base64_decode(std::string_view text);

}  // namespace pw
