#include "stores/ascii_case.h"

#include <cstring>
#include <string>

namespace pw {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// Lowers the ASCII capitals among eight bytes that are all below 0x80: no
// byte sum below carries into its neighbour.
constexpr uint64_t lower8(uint64_t w) {
  uint64_t at_least_a = w + (0x80 - 'A') * kOnes;
  uint64_t above_z = w + (0x80 - 'Z' - 1) * kOnes;
  return w | ((at_least_a & ~above_z & kHigh) >> 2);
}

uint64_t load8(const char* p, size_t n) {
  uint64_t w = 0;
  std::memcpy(&w, p, n < 8 ? n : 8);
  return w;
}

bool is_ascii(std::string_view s) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) any |= load8(s.data() + i, 8);
  for (; i < s.size(); ++i) any |= static_cast<unsigned char>(s[i]);
  return (any & kHigh) == 0;
}

constexpr uint64_t mix(uint64_t h, uint64_t w) {
  h ^= w;
  h *= 0x9e3779b97f4a7c15ull;
  return h ^ (h >> 32);
}

// Hashes bytes that need no more folding, or ASCII bytes folded on the way.
uint64_t hash_words(std::string_view s, bool fold) {
  uint64_t h = s.size();
  for (size_t i = 0; i < s.size(); i += 8) {
    uint64_t w = load8(s.data() + i, s.size() - i);
    h = mix(h, fold ? lower8(w) : w);
  }
  return h;
}

// The folded bytes of a text holding multi-byte characters.
std::string fold_mixed(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0x81 && b <= 0xfe && i + 1 < s.size()) {
      auto b2 = static_cast<unsigned char>(s[i + 1]);
      size_t len = (b2 >= 0x30 && b2 <= 0x39) ? 4 : 2;
      out.append(s.substr(i, len));
      i += len;
    } else {
      out.push_back(ascii_lower(s[i++]));
    }
  }
  return out;
}

}  // namespace

bool ascii_iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Lead bytes never fold, so texts equal after folding are both ASCII or
  // both not.
  bool ascii_a = is_ascii(a);
  if (ascii_a != is_ascii(b)) return false;
  if (!ascii_a) return fold_mixed(a) == fold_mixed(b);
  for (size_t i = 0; i < a.size(); i += 8) {
    size_t n = a.size() - i;
    if (lower8(load8(a.data() + i, n)) != lower8(load8(b.data() + i, n))) return false;
  }
  return true;
}

uint64_t ascii_case_hash(std::string_view s) {
  if (is_ascii(s)) return hash_words(s, true);
  return hash_words(fold_mixed(s), false);
}

}  // namespace pw
