#include "mail/base64.h"

#include <array>
#include <cstdint>

namespace pw {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each 7-bit character, -1 outside the alphabet.
constexpr std::array<int8_t, 128> make_values() {
  std::array<int8_t, 128> v{};
  for (auto& x : v) x = -1;
  for (int i = 0; i < 64; ++i) v[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  return v;
}
constexpr auto kValues = make_values();

// Appends the encoding of `data`; with `pad`, the last group is padded with '='.
void encode_into(std::string& out, std::string_view data, bool pad) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    uint32_t v = uint32_t(p[i]) << 16 | uint32_t(p[i + 1]) << 8 | p[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  size_t rest = n - i;
  if (rest == 0) return;
  uint32_t v = uint32_t(p[i]) << 16 | (rest == 2 ? uint32_t(p[i + 1]) << 8 : 0);
  out.push_back(kAlphabet[(v >> 18) & 63]);
  out.push_back(kAlphabet[(v >> 12) & 63]);
  if (rest == 2) out.push_back(kAlphabet[(v >> 6) & 63]);
  if (pad) out.append(rest == 2 ? 1 : 2, '=');
}

}  // namespace

std::string base64_encode(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  encode_into(out, data, true);
  return out;
}

std::string base64_encode_unpadded(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  encode_into(out, data, false);
  return out;
}

std::string base64_encode_lines(std::string_view data) {
  std::string flat = base64_encode(data);
  std::string out;
  out.reserve(flat.size() + flat.size() / 76 * 2 + 2);
  for (size_t i = 0; i < flat.size(); i += 76) {
    std::string_view line = std::string_view(flat).substr(i, 76);
    out.append(line);
    if (line.size() == 76) out.append("\r\n");
  }
  return out;
}

std::string base64_decode(std::string_view text) {
  std::string out(text.size() / 4 * 3 + 3, '\0');
  char* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  uint32_t bits = 0;
  int count = 0;
  while (p < end) {
    // Whole groups of four alphabet characters, the bulk of any body.
    if (count == 0 && end - p >= 4) {
      int a = kValues[p[0] & 0x7f], b = kValues[p[1] & 0x7f], c = kValues[p[2] & 0x7f], d = kValues[p[3] & 0x7f];
      if ((a | b | c | d) >= 0) {
        uint32_t group = static_cast<uint32_t>(a << 18 | b << 12 | c << 6 | d);
        o[0] = static_cast<char>(group >> 16);
        o[1] = static_cast<char>(group >> 8);
        o[2] = static_cast<char>(group);
        o += 3;
        p += 4;
        continue;
      }
    }
    int v = kValues[*p++ & 0x7f];
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      *o++ = static_cast<char>((bits >> count) & 0xff);
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

}  // namespace pw
