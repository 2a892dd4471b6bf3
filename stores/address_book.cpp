#include "stores/address_book.h"

#include <algorithm>

#include "base/file_io.h"
#include "base/fixed_field.h"
#include "res/string_table.h"
#include "stores/ascii_case.h"

namespace pw {

AddressBookLoadReport AddressBook::load() {
  AddressBookLoadReport report;
  clear();
  if (std::optional<std::string> data = read_file(dir_.file("Friend"))) {
    size_t at = 0;
    for (; at + Contact::kSize <= data->size(); at += Contact::kSize) {
      people_.push_back(Contact::decode(data->data() + at));
    }
    report.damaged = at != data->size();
  }
  if (std::optional<std::string> data = read_file(dir_.file("Group"))) {
    std::string_view rest(*data);
    if (rest.size() >= 4) {
      next_id_ = read_le32(rest.data());
      rest.remove_prefix(4);
    } else {
      report.damaged = report.damaged || !rest.empty();
      rest = {};
    }
    while (!rest.empty()) {
      if (rest.size() < ContactGroup::kNameWidth + 4) {
        report.damaged = true;
        break;
      }
      ContactGroup group;
      group.name = get_field(rest.data(), ContactGroup::kNameWidth);
      uint32_t n = read_le32(rest.data() + ContactGroup::kNameWidth);
      rest.remove_prefix(ContactGroup::kNameWidth + 4);
      size_t take = std::min<size_t>(n, rest.size() / 4);
      for (size_t i = 0; i < take; ++i) {
        uint32_t id = read_le32(rest.data() + i * 4);
        if (!find_contact(id) || !group.add(id)) ++report.dropped_members;
      }
      rest.remove_prefix(take * 4);
      groups_.push_back(std::move(group));
      if (take < n) {
        report.damaged = true;
        break;
      }
    }
  }
  for (const Contact& c : people_) {
    if (c.id != UINT32_MAX) next_id_ = std::max(next_id_, c.id + 1);
  }
  report.contacts = people_.size();
  report.groups = groups_.size();
  return report;
}

std::string AddressBook::group_file_data() const {
  std::string data;
  append_le32(data, next_id_);
  for (const ContactGroup& group : groups_) {
    char name[ContactGroup::kNameWidth];
    put_field(name, sizeof name, group.name);
    data.append(name, sizeof name);
    append_le32(data, static_cast<uint32_t>(group.members.size()));
    for (uint32_t id : group.members) append_le32(data, id);
  }
  return data;
}

std::string AddressBook::friend_file_data() const {
  std::string data;
  data.reserve(people_.size() * Contact::kSize);
  for (const Contact& c : people_) data += c.encode();
  return data;
}

bool AddressBook::save() const {
  bool group_ok = write_file_atomic(dir_.file("Group"), group_file_data());
  bool friend_ok = write_file_atomic(dir_.file("Friend"), friend_file_data());
  return group_ok && friend_ok;
}

void AddressBook::clear() {
  people_.clear();
  groups_.clear();
  next_id_ = 0;
}

const std::string& AddressBook::all_people_name() { return res::text(sid::kEveryone); }

const Contact* AddressBook::find_contact(uint32_t id) const {
  auto it = std::find_if(people_.begin(), people_.end(), [&](const Contact& c) { return c.id == id; });
  return it == people_.end() ? nullptr : &*it;
}

Contact* AddressBook::find_contact(uint32_t id) {
  return const_cast<Contact*>(static_cast<const AddressBook*>(this)->find_contact(id));
}

uint32_t AddressBook::add_contact(Contact contact) {
  // Skips ids still in use, which only a damaged or wrapped counter can give.
  while (find_contact(next_id_)) ++next_id_;
  contact.id = next_id_++;
  people_.push_back(std::move(contact));
  return people_.back().id;
}

bool AddressBook::delete_contact(uint32_t id) {
  auto it = std::find_if(people_.begin(), people_.end(), [&](const Contact& c) { return c.id == id; });
  if (it == people_.end()) return false;
  people_.erase(it);
  for (ContactGroup& group : groups_) group.remove(id);
  return true;
}

const ContactGroup* AddressBook::find_group(std::string_view name) const {
  auto it = std::find_if(groups_.begin(), groups_.end(), [&](const ContactGroup& g) { return ascii_iequal(g.name, name); });
  return it == groups_.end() ? nullptr : &*it;
}

ContactGroup* AddressBook::find_group(std::string_view name) {
  return const_cast<ContactGroup*>(static_cast<const AddressBook*>(this)->find_group(name));
}

ContactGroup& AddressBook::add_group(std::string name) {
  groups_.push_back(ContactGroup{std::move(name), {}});
  return groups_.back();
}

bool AddressBook::delete_group(std::string_view name) {
  auto it = std::find_if(groups_.begin(), groups_.end(), [&](const ContactGroup& g) { return ascii_iequal(g.name, name); });
  if (it == groups_.end()) return false;
  groups_.erase(it);
  return true;
}

bool AddressBook::add_member(ContactGroup& group, uint32_t id) {
  if (!find_contact(id)) return false;
  return group.add(id);
}

std::vector<const Contact*> AddressBook::members(const ContactGroup& group) const {
  std::vector<const Contact*> out;
  for (uint32_t id : group.members) {
    if (const Contact* c = find_contact(id)) out.push_back(c);
  }
  return out;
}

}  // namespace pw
