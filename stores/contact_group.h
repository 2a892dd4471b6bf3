#pragma once
// A named group of the address book. It refers to its members by contact id
// in member order; the address book owns the contacts.
#include <cstdint>
#include <string>
#include <vector>

namespace pw {

struct ContactGroup {
  static constexpr size_t kNameWidth = 64;

  std::string name;  // at most 63 bytes are stored
  std::vector<uint32_t> members;

  [[nodiscard]] bool has(uint32_t id) const;
  // Appends unless the id is a member already.
  bool add(uint32_t id);
  bool remove(uint32_t id);

  friend bool operator==(const ContactGroup&, const ContactGroup&) = default;
};

}  // namespace pw
