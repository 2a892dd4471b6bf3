#pragma once
// Letter case folding of stored text (GB18030 bytes): only the ASCII letters
// of single-byte characters fold. The trail bytes of a multi-byte character
// may fall in A-Z and are compared exactly, so two different Chinese
// characters never compare equal.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pw {

[[nodiscard]] constexpr char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Equal ignoring the case of ASCII letters.
[[nodiscard]] bool ascii_iequal(std::string_view a, std::string_view b);

// A hash that is equal for texts ascii_iequal() finds equal. Fast on plain
// ASCII (POP3 identifiers are), eight bytes at a time.
[[nodiscard]] uint64_t ascii_case_hash(std::string_view s);

}  // namespace pw
