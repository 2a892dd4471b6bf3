#pragma once
// One person of the address book: the 2244-byte record of the file "Friend".
#include <cstddef>
#include <cstdint>
#include <string>

namespace pw {

struct Contact {
  static constexpr size_t kSize = 2244;

  std::string name;         // 64 at 0, may be empty
  std::string address;      // 128 at 64
  std::string description;  // 2048 at 192
  uint32_t id = 0;          // at 2240, unique and never reused

  [[nodiscard]] std::string encode() const;
  [[nodiscard]] static Contact decode(const char* image);

  friend bool operator==(const Contact&, const Contact&) = default;
};

}  // namespace pw
