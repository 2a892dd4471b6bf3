#include "stores/scramble_field.h"

#include <cstring>

namespace pw {

void scramble_field(char* field, size_t width) {
  static constexpr char kKey[] = "pemvu";
  const void* nul = std::memchr(field, 0, width);
  size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : width;
  for (size_t i = 0; i < n; ++i) {
    char x = static_cast<char>(field[i] ^ kKey[i % 5]);
    if (x != 0) field[i] = x;
  }
}

}  // namespace pw
