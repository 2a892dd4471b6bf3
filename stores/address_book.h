#pragma once
// The address book: every person (the all-people list, which owns the
// contacts) and the named groups of them. Stored in two files: "Friend", the
// contact records in order up to the end of the file, and "Group", the
// 32-bit little-endian next contact id followed by, for each group, its
// 64-byte name, a 32-bit member count N and N 32-bit member ids.
//
// UI thread only. Pointers and references into the book stay valid until
// the next change of the same list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/program_dir.h"
#include "stores/contact.h"
#include "stores/contact_group.h"

namespace pw {

struct AddressBookLoadReport {
  size_t contacts = 0;
  size_t groups = 0;
  size_t dropped_members = 0;  // member ids naming no contact, or repeated
  bool damaged = false;        // a file ended inside a record or group
};

class AddressBook {
 public:
  explicit AddressBook(ProgramDir dir) : dir_(std::move(dir)) {}

  // Reads both files; a missing file leaves its part empty. Complete
  // contacts and groups are kept; a member count running past the end keeps
  // the members present. The next id is raised above every id loaded, so
  // ids are never reused, also when "Group" is missing.
  AddressBookLoadReport load();

  // Writes "Group" and "Friend" atomically; a file that cannot be written is
  // skipped silently and the other is still written. The book stays in
  // memory. True when both were written.
  [[nodiscard]] bool save() const;
  // Releases everything (exit).
  void clear();

  // The name of the all-people list, "所有人" (sid::kEveryone).
  [[nodiscard]] static const std::string& all_people_name();

  [[nodiscard]] const std::vector<Contact>& people() const { return people_; }
  [[nodiscard]] const Contact* find_contact(uint32_t id) const;
  [[nodiscard]] Contact* find_contact(uint32_t id);

  // Gives the contact the next id, appends it and returns the id.
  uint32_t add_contact(Contact contact);
  // Removes the contact from the all-people list and from every group.
  bool delete_contact(uint32_t id);

  [[nodiscard]] const std::vector<ContactGroup>& groups() const { return groups_; }
  // The first group whose name equals `name` ignoring case.
  [[nodiscard]] ContactGroup* find_group(std::string_view name);
  [[nodiscard]] const ContactGroup* find_group(std::string_view name) const;
  ContactGroup& add_group(std::string name);
  bool delete_group(std::string_view name);

  // Membership by contact id; add_member refuses ids that name no contact.
  bool add_member(ContactGroup& group, uint32_t id);
  bool remove_member(ContactGroup& group, uint32_t id) { return group.remove(id); }
  [[nodiscard]] std::vector<const Contact*> members(const ContactGroup& group) const;

  [[nodiscard]] uint32_t next_contact_id() const { return next_id_; }

  [[nodiscard]] std::string friend_file_data() const;
  [[nodiscard]] std::string group_file_data() const;

 private:
  ProgramDir dir_;
  std::vector<Contact> people_;
  std::vector<ContactGroup> groups_;
  uint32_t next_id_ = 0;
};

}  // namespace pw
