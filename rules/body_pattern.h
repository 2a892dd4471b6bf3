#pragma once
// The body-pattern language: literal segments ('?' = any one byte) between
// wildcards "*", "**" (a literal '*'), "*?" (a literal '?') and
// "*<options>", where the options are the items "min=N", "max=N" and "#K"
// separated by blanks, each at most once, in any order.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pw {

struct WildcardOptions {
  uint32_t min = 0;
  std::optional<uint32_t> max;
  std::optional<uint32_t> capture;  // K of "#K": the matched text is capture K

  friend bool operator==(const WildcardOptions&, const WildcardOptions&) = default;
};

// The options between '<' and '>' (both excluded); nullopt when it is not
// valid: an unknown or repeated item, no digits right after "min=", "max="
// or '#', an item not followed by a blank or the end, max below min, or a
// number beyond 2^31-1. Item names are found without regard to case.
[[nodiscard]] std::optional<WildcardOptions> parse_wildcard_options(std::string_view options);

struct PatternCheck {
  bool ok = true;
  // On failure, the bytes to select: the bad wildcard from its '*' to just
  // past its '>', or only "*<" when the '>' is missing.
  size_t begin = 0;
  size_t end = 0;
};

// Every "*<" needs a closing '>' and valid options, and no capture number
// above 0 may occur twice. Reports the first failure.
[[nodiscard]] PatternCheck validate_pattern(std::string_view pattern);

// The capture numbers K of every "#K" item inside "*<...>" of `pattern`, in
// order (options that fail the checks still give their well-formed items).
[[nodiscard]] std::vector<uint32_t> pattern_captures(std::string_view pattern);

}  // namespace pw
