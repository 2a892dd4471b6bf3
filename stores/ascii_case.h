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

// Yields the bytes of a text with the letters of single-byte characters
// lowered and multi-byte characters as they are.
class CaseFolder {
 public:
  explicit constexpr CaseFolder(std::string_view s) : s_(s) {}

  constexpr bool next(char& out) {
    if (i_ >= s_.size()) return false;
    char c = s_[i_++];
    if (keep_ > 0) {
      --keep_;
      out = c;
      return true;
    }
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x81 && b <= 0xfe && i_ < s_.size()) {
      auto b2 = static_cast<unsigned char>(s_[i_]);
      keep_ = (b2 >= 0x30 && b2 <= 0x39) ? 3 : 1;
      out = c;
      return true;
    }
    out = ascii_lower(c);
    return true;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
  size_t keep_ = 0;
};

// Equal ignoring the case of ASCII letters. Lead bytes never fold, so two
// texts whose folded bytes agree also agree on their character boundaries.
[[nodiscard]] constexpr bool ascii_iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  CaseFolder fa(a), fb(b);
  char x = 0, y = 0;
  while (fa.next(x) && fb.next(y)) {
    if (x != y) return false;
  }
  return true;
}

// Hash and equality for unordered containers keyed case-insensitively; both
// transparent, so a lookup by string_view allocates nothing.
struct AsciiCaseHash {
  using is_transparent = void;
  [[nodiscard]] size_t operator()(std::string_view s) const {
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    CaseFolder f(s);
    char c = 0;
    while (f.next(c)) {
      h ^= static_cast<unsigned char>(c);
      h *= 1099511628211ull;
    }
    h ^= h >> 29;  // spread the high bits into the low ones the buckets use
    return static_cast<size_t>(h);
  }
};

struct AsciiCaseEqual {
  using is_transparent = void;
  [[nodiscard]] bool operator()(std::string_view a, std::string_view b) const { return ascii_iequal(a, b); }
};

}  // namespace pw
