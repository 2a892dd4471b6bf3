#pragma once
// Expected record images for the store tests: a zero-filled record with
// hand-written hex bytes placed at their offsets.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "support/temp_dir.h"

namespace pw::test {

inline std::string record_bytes(size_t size, std::initializer_list<std::pair<size_t, std::string_view>> parts) {
  std::string out(size, '\0');
  for (const auto& [offset, hex] : parts) {
    std::string bytes = hex_bytes(hex);
    out.replace(offset, bytes.size(), bytes);
  }
  return out;
}

}  // namespace pw::test
