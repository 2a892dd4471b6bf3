#include "stores/contact_group.h"

#include <algorithm>

namespace pw {

bool ContactGroup::has(uint32_t id) const { return std::find(members.begin(), members.end(), id) != members.end(); }

bool ContactGroup::add(uint32_t id) {
  if (has(id)) return false;
  members.push_back(id);
  return true;
}

bool ContactGroup::remove(uint32_t id) {
  auto it = std::find(members.begin(), members.end(), id);
  if (it == members.end()) return false;
  members.erase(it);
  return true;
}

}  // namespace pw
