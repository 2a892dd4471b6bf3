#include "base/fixed_field.h"

#include <cstring>

namespace pw {

void put_field(char* field, size_t width, std::string_view text) {
  if (width == 0) return;
  size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, width - n);
}

std::string get_field(const char* field, size_t width) {
  if (width == 0) return {};
  const void* nul = std::memchr(field, 0, width);
  size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : width - 1;
  return std::string(field, n);
}

std::string fit_field(std::string_view text, size_t width) {
  if (width == 0) return {};
  return std::string(text.substr(0, width - 1));
}

}  // namespace pw
