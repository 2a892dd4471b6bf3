#pragma once
// Fixed-width NUL-terminated string fields and little-endian integers inside
// byte-exact records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pw {

// Copies at most width-1 bytes of `text` into the field and zero-fills the
// rest, so the field always holds a terminating NUL.
void put_field(char* field, size_t width, std::string_view text);

// The text before the field's first NUL. A field without a NUL in its width
// (a damaged record) yields its first width-1 bytes, the longest text a
// writer could have stored, and never reads past the field.
[[nodiscard]] std::string get_field(const char* field, size_t width);

// Cuts `text` to the limit of a field of `width` bytes (width-1 bytes).
[[nodiscard]] std::string fit_field(std::string_view text, size_t width);

[[nodiscard]] inline uint32_t read_le32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline void write_le32(char* p, uint32_t v) {
  p[0] = char(v & 0xff);
  p[1] = char((v >> 8) & 0xff);
  p[2] = char((v >> 16) & 0xff);
  p[3] = char((v >> 24) & 0xff);
}

inline void append_le32(std::string& out, uint32_t v) {
  char b[4];
  write_le32(b, v);
  out.append(b, 4);
}

}  // namespace pw
