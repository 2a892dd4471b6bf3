// The address book and its files "Friend" and "Group".
#include "stores/address_book.h"

#include <gtest/gtest.h>

#include "record_bytes.h"
#include "res/string_table.h"

namespace pw {
namespace {

Contact person(std::string name, std::string address) {
  Contact c;
  c.name = std::move(name);
  c.address = std::move(address);
  return c;
}

class AddressBookTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AddressBook book{ProgramDir(dir.path())};
};

TEST_F(AddressBookTest, contactRecordIsByteExact) {
  Contact c = person("Li", "li@x.cn");
  c.description = "desc";
  c.id = 0x0a0b0c0d;
  EXPECT_EQ(c.encode(), test::record_bytes(2244, {{0, "4c 69"},
                                                  {64, "6c 69 40 78 2e 63 6e"},
                                                  {192, "64 65 73 63"},
                                                  {2240, "0d 0c 0b 0a"}}));
  EXPECT_EQ(Contact::decode(c.encode().data()), c);
}

TEST_F(AddressBookTest, threeContactsGive6732BytesOfFriendAndFourBytesOfGroup) {
  book.load();
  EXPECT_EQ(book.add_contact(person("a", "a@x.cn")), 0u);
  EXPECT_EQ(book.add_contact(person("b", "b@x.cn")), 1u);
  EXPECT_EQ(book.add_contact(person("c", "c@x.cn")), 2u);
  ASSERT_TRUE(book.save());
  EXPECT_EQ(dir.read("Friend").size(), 6732u);
  EXPECT_EQ(dir.read("Group"), test::hex_bytes("03 00 00 00"));
  EXPECT_EQ(book.people().size(), 3u) << "a save keeps the book";
}

TEST_F(AddressBookTest, groupFileHoldsCounterThenNameCountAndIds) {
  uint32_t a = book.add_contact(person("a", "a@x.cn"));
  uint32_t b = book.add_contact(person("b", "b@x.cn"));
  ContactGroup& g = book.add_group("Team");
  book.add_member(g, b);
  book.add_member(g, a);
  book.add_group("Empty");
  std::string expected = test::hex_bytes("02 00 00 00") + test::record_bytes(64, {{0, "54 65 61 6d"}}) +
                         test::hex_bytes("02 00 00 00 01 00 00 00 00 00 00 00") +
                         test::record_bytes(64, {{0, "45 6d 70 74 79"}}) + test::hex_bytes("00 00 00 00");
  EXPECT_EQ(book.group_file_data(), expected);
}

TEST_F(AddressBookTest, saveAndLoadRoundTrip) {
  Contact with_text = person("\xc0\xee", "li@x.cn");  // a GBK name
  with_text.description = std::string(3000, 'd');
  uint32_t a = book.add_contact(with_text);
  uint32_t b = book.add_contact(person("", "b@x.cn"));
  ContactGroup& g = book.add_group(std::string(80, 'g'));
  book.add_member(g, b);
  book.add_member(g, a);
  ASSERT_TRUE(book.save());

  AddressBook loaded{ProgramDir(dir.path())};
  AddressBookLoadReport report = loaded.load();
  EXPECT_FALSE(report.damaged);
  EXPECT_EQ(report.contacts, 2u);
  ASSERT_EQ(loaded.people().size(), 2u);
  EXPECT_EQ(loaded.people()[0].name, "\xc0\xee");
  EXPECT_EQ(loaded.people()[0].description, std::string(2047, 'd'));
  ASSERT_EQ(loaded.groups().size(), 1u);
  EXPECT_EQ(loaded.groups()[0].name, std::string(63, 'g'));
  EXPECT_EQ(loaded.groups()[0].members, (std::vector<uint32_t>{b, a}));
  EXPECT_EQ(loaded.next_contact_id(), 2u);
  EXPECT_EQ(loaded.group_file_data(), book.group_file_data());
  EXPECT_EQ(loaded.friend_file_data(), book.friend_file_data());
  ASSERT_TRUE(loaded.save());
  AddressBook again{ProgramDir(dir.path())};
  again.load();
  EXPECT_EQ(again.people(), loaded.people());
  EXPECT_EQ(again.groups(), loaded.groups());
}

TEST_F(AddressBookTest, deletingAContactRemovesItFromEveryGroup) {
  uint32_t a = book.add_contact(person("a", "a@x.cn"));
  uint32_t b = book.add_contact(person("b", "b@x.cn"));
  book.add_group("one");
  book.add_group("two");
  book.add_member(*book.find_group("one"), a);
  book.add_member(*book.find_group("one"), b);
  book.add_member(*book.find_group("two"), a);
  EXPECT_TRUE(book.delete_contact(a));
  EXPECT_FALSE(book.delete_contact(a));
  EXPECT_EQ(book.find_group("one")->members, (std::vector<uint32_t>{b}));
  EXPECT_TRUE(book.find_group("two")->members.empty());
  EXPECT_EQ(book.people().size(), 1u);
}

TEST_F(AddressBookTest, idsAreNotReusedAfterADeletion) {
  book.add_contact(person("a", ""));
  book.add_contact(person("b", ""));
  book.add_contact(person("c", ""));
  book.delete_contact(2);
  EXPECT_EQ(book.add_contact(person("d", "")), 3u);
  ASSERT_TRUE(book.save());
  AddressBook loaded{ProgramDir(dir.path())};
  loaded.load();
  EXPECT_EQ(loaded.add_contact(person("e", "")), 4u);
}

TEST_F(AddressBookTest, withoutGroupFileNewIdsStartAboveTheHighestLoaded) {
  Contact c = person("a", "");
  c.id = 41;
  Contact d = person("b", "");
  d.id = 7;
  dir.write("Friend", c.encode() + d.encode());
  AddressBookLoadReport report = book.load();
  EXPECT_EQ(report.contacts, 2u);
  EXPECT_EQ(book.next_contact_id(), 42u);
  EXPECT_EQ(book.add_contact(person("new", "")), 42u);
}

TEST_F(AddressBookTest, counterBelowStoredIdsIsRaisedAndTakenIdsAreSkipped) {
  Contact top = person("a", "");
  top.id = UINT32_MAX;
  Contact zero = person("b", "");
  zero.id = 0;
  dir.write("Friend", top.encode() + zero.encode());
  dir.write("Group", test::hex_bytes("00 00 00 00"));
  book.load();
  uint32_t id = book.add_contact(person("c", ""));
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, UINT32_MAX);
}

TEST_F(AddressBookTest, memberIdsWithoutAContactOrRepeatedAreDropped) {
  uint32_t a = book.add_contact(person("a", ""));
  ASSERT_TRUE(book.save());
  dir.write("Group", test::hex_bytes("05 00 00 00") + test::record_bytes(64, {{0, "47"}}) +
                         test::hex_bytes("03 00 00 00 09 00 00 00 00 00 00 00 00 00 00 00"));
  AddressBook loaded{ProgramDir(dir.path())};
  AddressBookLoadReport report = loaded.load();
  EXPECT_EQ(report.dropped_members, 2u);
  EXPECT_FALSE(report.damaged);
  EXPECT_EQ(loaded.groups()[0].members, (std::vector<uint32_t>{a}));
  EXPECT_EQ(loaded.next_contact_id(), 5u);
}

TEST_F(AddressBookTest, damagedLastContactIsDropped) {
  dir.write("Friend", person("a", "a@x.cn").encode() + person("b", "b@x.cn").encode().substr(0, 2243));
  AddressBookLoadReport report = book.load();
  EXPECT_TRUE(report.damaged);
  ASSERT_EQ(book.people().size(), 1u);
  EXPECT_EQ(book.people()[0].name, "a");
}

TEST_F(AddressBookTest, memberCountRunningPastTheEndKeepsTheMembersPresent) {
  Contact a = person("a", "");
  a.id = 0;
  Contact b = person("b", "");
  b.id = 1;
  dir.write("Friend", a.encode() + b.encode());
  dir.write("Group", test::hex_bytes("02 00 00 00") + test::record_bytes(64, {{0, "41"}}) +
                         test::hex_bytes("ff ff ff ff 01 00 00 00 00 00"));
  AddressBookLoadReport report = book.load();
  EXPECT_TRUE(report.damaged);
  ASSERT_EQ(book.groups().size(), 1u);
  EXPECT_EQ(book.groups()[0].members, (std::vector<uint32_t>{1}));
}

TEST_F(AddressBookTest, damagedGroupFileKeepsCompleteGroupsOnly) {
  struct Case {
    const char* name;
    std::string bytes;
    size_t groups;
    uint32_t next;
  };
  std::string name_a = test::record_bytes(64, {{0, "41"}});
  const Case cases[] = {
      {"counter cut", test::hex_bytes("05 00"), 0, 0},
      {"name cut", test::hex_bytes("05 00 00 00") + name_a.substr(0, 30), 0, 5},
      {"count cut", test::hex_bytes("05 00 00 00") + name_a + test::hex_bytes("00 00"), 0, 5},
      {"name without NUL", test::hex_bytes("05 00 00 00") + std::string(64, 'n') + test::hex_bytes("00 00 00 00"), 1, 5},
  };
  for (const Case& c : cases) {
    test::TempDir other;
    other.write("Group", c.bytes);
    AddressBook b{ProgramDir(other.path())};
    b.load();
    EXPECT_EQ(b.groups().size(), c.groups) << c.name;
    EXPECT_EQ(b.next_contact_id(), c.next) << c.name;
    if (c.groups == 1) {
      EXPECT_EQ(b.groups()[0].name, std::string(63, 'n'));
    }
  }
}

TEST_F(AddressBookTest, groupsAreFoundAndDeletedByNameIgnoringCase) {
  book.add_group("Friends");
  book.add_group("work");
  EXPECT_EQ(book.find_group("FRIENDS"), &book.groups()[0]);
  EXPECT_EQ(book.find_group("none"), nullptr);
  EXPECT_TRUE(book.delete_group("WORK"));
  EXPECT_FALSE(book.delete_group("work"));
  EXPECT_EQ(book.groups().size(), 1u);
}

TEST_F(AddressBookTest, membershipNeedsAContactAndHasNoDuplicates) {
  uint32_t a = book.add_contact(person("a", ""));
  ContactGroup& g = book.add_group("g");
  EXPECT_TRUE(book.add_member(g, a));
  EXPECT_FALSE(book.add_member(g, a));
  EXPECT_FALSE(book.add_member(g, 99));
  EXPECT_TRUE(g.has(a));
  EXPECT_EQ(book.members(g).size(), 1u);
  EXPECT_TRUE(book.remove_member(g, a));
  EXPECT_FALSE(g.has(a));
}

TEST_F(AddressBookTest, unwritableFileIsSkippedAndTheOtherStillWritten) {
  book.add_contact(person("a", ""));
  std::filesystem::create_directories(dir / "Friend" / "inner");
  EXPECT_FALSE(book.save());
  EXPECT_EQ(dir.read("Group"), test::hex_bytes("01 00 00 00"));
  AddressBook loaded{ProgramDir(dir.path())};
  EXPECT_EQ(loaded.load().contacts, 0u) << "a directory reads as no file";
}

TEST_F(AddressBookTest, allPeopleListIsNamedByItsText) {
  EXPECT_EQ(AddressBook::all_people_name(), res::text(sid::kEveryone));
}

}  // namespace
}  // namespace pw
