// The per-account list of seen identifiers and its .uid file.
#include "stores/seen_uid_list.h"

#include <gtest/gtest.h>

#include <random>

#include "stores/ascii_case.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

class SeenUidListTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return dir / "a@b.cn.uid"; }

  // One check as the engine runs it: mark what the listing holds, add the rest.
  static void check(SeenUidList& list, std::initializer_list<const char*> listing) {
    for (const char* uid : listing) {
      if (auto found = list.find(uid)) {
        list.mark_seen(*found);
      } else {
        list.add(uid);
      }
    }
  }

  test::TempDir dir;
};

TEST_F(SeenUidListTest, completeListingDropsMailsGoneFromTheServer) {
  dir.write("a@b.cn.uid", "A\r\nB\r\n");
  SeenUidList list(file());
  EXPECT_EQ(list.load(), 2u);
  check(list, {"B", "C"});
  ASSERT_TRUE(list.save(true));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "B\r\nC\r\n");
}

TEST_F(SeenUidListTest, withoutACompleteListingEveryEntryIsKept) {
  dir.write("a@b.cn.uid", "A\r\nB\r\n");
  SeenUidList list(file());
  list.load();
  check(list, {"B", "C"});
  ASSERT_TRUE(list.save(false));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "A\r\nB\r\nC\r\n");
}

TEST_F(SeenUidListTest, emptyCompleteListingEmptiesTheFile) {
  dir.write("a@b.cn.uid", "A\r\nB\r\n");
  SeenUidList list(file());
  list.load();
  ASSERT_TRUE(list.save(true));
  EXPECT_TRUE(std::filesystem::exists(file()));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "");
  EXPECT_EQ(list.size(), 2u) << "a save keeps the entries";
}

TEST_F(SeenUidListTest, findIgnoresLetterCaseAndReturnsTheFirstEntry) {
  SeenUidList list;
  size_t first = list.add("UidX");
  list.add("uidx");
  list.add("other");
  EXPECT_EQ(list.find("UIDX"), first);
  EXPECT_EQ(list.find("uidX"), first);
  EXPECT_FALSE(list.find("uid"));
  EXPECT_FALSE(list.find("uidxx"));
  EXPECT_EQ(list.identifier(first), "UidX");
}

TEST_F(SeenUidListTest, identifiersAreCutTo63BytesSoA70ByteOneNeverMatches) {
  std::string uid70(70, 'u');
  uid70[69] = 'z';
  dir.write("a@b.cn.uid", uid70 + "\r\n");
  SeenUidList list(file());
  list.load();
  EXPECT_EQ(list.identifier(0), std::string(63, 'u'));
  EXPECT_FALSE(list.find(uid70)) << "the same mail counts as new again";
  size_t added = list.add(uid70);
  EXPECT_EQ(list.identifier(added).size(), 63u);
  EXPECT_FALSE(list.find(uid70));
  EXPECT_TRUE(list.find(std::string(63, 'U')));
}

TEST_F(SeenUidListTest, marksTellReadEntriesFromEntriesOfThisRun) {
  dir.write("a@b.cn.uid", "old\r\n");
  SeenUidList list(file());
  list.load();
  EXPECT_TRUE(list.unseen(0));
  EXPECT_FALSE(list.unseen(list.add("new")));
  list.mark_seen(0);
  EXPECT_FALSE(list.unseen(0));
}

TEST_F(SeenUidListTest, addOnlyIfAbsentReturnsTheExistingEntry) {
  SeenUidList list;
  size_t a = list.add("a");
  EXPECT_EQ(list.add("A", true), a);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_NE(list.add("A"), a);
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(SeenUidListTest, removeTakesEveryEqualEntryAndLaterAddsWorkAgain) {
  SeenUidList list(file());
  list.add("x1");
  list.add("X1");
  list.add("keep");
  list.add("x1");
  EXPECT_EQ(list.remove("x1"), 3u);
  EXPECT_EQ(list.remove("x1"), 0u);
  EXPECT_FALSE(list.find("x1"));
  EXPECT_EQ(list.size(), 1u);
  size_t again = list.add("x1");
  EXPECT_EQ(list.find("X1"), again);
  ASSERT_TRUE(list.save(false));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "keep\r\nx1\r\n");
  EXPECT_EQ(list.identifiers(), (std::vector<std::string>{"keep", "x1"}));
}

TEST_F(SeenUidListTest, loadAcceptsBareLineFeedsAndSkipsBlankLines) {
  dir.write("a@b.cn.uid", "a\nb\r\n\r\n\nc\r\n");
  SeenUidList list(file());
  EXPECT_EQ(list.load(), 3u);
  EXPECT_EQ(list.identifiers(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(SeenUidListTest, damagedLastLineWithoutItsLineEndIsDropped) {
  dir.write("a@b.cn.uid", "1234\r\n12");
  SeenUidList list(file());
  EXPECT_EQ(list.load(), 1u);
  EXPECT_FALSE(list.find("12")) << "a cut identifier must not hide mail 12";
  EXPECT_TRUE(list.find("1234"));
}

TEST_F(SeenUidListTest, missingOrDirectoryFileIsAnEmptyListAndADirectoryIsNotReplaced) {
  SeenUidList missing(file());
  EXPECT_EQ(missing.load(), 0u);
  std::filesystem::create_directories(file() / "inner");
  SeenUidList folder(file());
  EXPECT_EQ(folder.load(), 0u);
  folder.add("x");
  EXPECT_FALSE(folder.save(false));
  EXPECT_FALSE(folder.append_seen("x"));
  EXPECT_TRUE(std::filesystem::is_directory(file() / "inner"));
}

TEST_F(SeenUidListTest, appendSeenAddsOneCrLfLineAndKeepsTheFileReadable) {
  SeenUidList list(file());
  ASSERT_TRUE(list.append_seen("m1"));
  ASSERT_TRUE(list.append_seen(std::string(70, 'q')));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "m1\r\n" + std::string(63, 'q') + "\r\n");
  EXPECT_EQ(list.size(), 0u) << "append touches only the file";
  EXPECT_FALSE(list.append_seen(""));
  EXPECT_FALSE(list.append_seen("a\r\nb"));
  SeenUidList reread(file());
  EXPECT_EQ(reread.load(), 2u);
}

TEST_F(SeenUidListTest, appendAfterALineCutShortStartsOnANewLine) {
  dir.write("a@b.cn.uid", "1234\r\n12");
  SeenUidList list(file());
  ASSERT_TRUE(list.append_seen("77"));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "1234\r\n12\r\n77\r\n");
}

TEST_F(SeenUidListTest, appendedIdentifiersAreSeenAfterACrash) {
  SeenUidList before(file());
  before.add("m1");
  ASSERT_TRUE(before.save(false));
  before.add("m2");
  ASSERT_TRUE(before.append_seen("m2"));
  // No orderly save: the next start reads what was appended.
  SeenUidList after(file());
  after.load();
  EXPECT_TRUE(after.contains("m1"));
  EXPECT_TRUE(after.contains("M2"));
}

TEST_F(SeenUidListTest, fileNameIsTheAddressAsStoredUnlessItCouldLeaveTheDirectory) {
  struct Case {
    const char* address;
    bool usable;
  };
  const Case cases[] = {
      {"Zhang@Example.cn", true}, {"a..b@x.cn", true},  {"\xd5\xc5@x.cn", true}, {"a/b@x.cn", false},
      {"a\\b@x.cn", false},       {"..", false},        {".", false},            {"", false},
      {"a\nb@x.cn", false},       {"a\x7f@x.cn", false},
  };
  for (const Case& c : cases) {
    auto path = SeenUidList::file_for(dir.path(), c.address);
    EXPECT_EQ(path.has_value(), c.usable) << c.address;
    if (path) {
      EXPECT_EQ(*path, dir / (std::string(c.address) + ".uid"));
    }
  }
}

TEST_F(SeenUidListTest, deleteFileDetachesTheList) {
  SeenUidList list(file());
  list.add("a");
  ASSERT_TRUE(list.save(false));
  EXPECT_TRUE(list.delete_file());
  EXPECT_FALSE(std::filesystem::exists(file()));
  EXPECT_FALSE(list.has_file());
  EXPECT_FALSE(list.save(false));
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(SeenUidListTest, manyEntriesAreAllFoundAfterLoad) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "UID-" + std::to_string(i) + "-Abc\r\n";
  dir.write("a@b.cn.uid", text);
  SeenUidList list(file());
  ASSERT_EQ(list.load(), 20000u);
  for (int i = 0; i < 20000; i += 7) {
    auto found = list.find("uid-" + std::to_string(i) + "-ABC");
    ASSERT_TRUE(found) << i;
    EXPECT_EQ(*found, size_t(i));
  }
  EXPECT_FALSE(list.find("uid-20000-abc"));
  ASSERT_TRUE(list.save(false));
  EXPECT_EQ(dir.read("a@b.cn.uid"), text);
}

// Random adds, removes and lookups against a plain model of the list: the
// first live entry of each folded identifier.
TEST_F(SeenUidListTest, agreesWithAPlainModelThroughGrowthAndRemovals) {
  SeenUidList list;
  std::vector<std::pair<std::string, bool>> model;  // identifier, live
  auto lower = [](std::string s) {
    for (char& c : s) c = ascii_lower(c);
    return s;
  };
  std::mt19937 rng(7);
  for (int step = 0; step < 10000; ++step) {
    std::string uid = "Id" + std::to_string(rng() % 1500);
    if (rng() % 2) uid = lower(uid);
    switch (rng() % 4) {
      case 0:
      case 1:
        ASSERT_EQ(list.add(uid), model.size());
        model.emplace_back(uid, true);
        break;
      case 2: {
        size_t expected = 0;
        for (auto& [id, live] : model) {
          if (live && lower(id) == lower(uid)) {
            live = false;
            ++expected;
          }
        }
        ASSERT_EQ(list.remove(uid), expected) << step;
        break;
      }
      default: {
        std::optional<size_t> expected;
        for (size_t i = 0; i < model.size() && !expected; ++i) {
          if (model[i].second && lower(model[i].first) == lower(uid)) expected = i;
        }
        ASSERT_EQ(list.find(uid), expected) << step;
      }
    }
  }
  size_t live = 0;
  for (const auto& entry : model) live += entry.second;
  EXPECT_EQ(list.size(), live);
}

TEST(AsciiCase, foldsOnlyLettersOfSingleByteCharacters) {
  EXPECT_TRUE(ascii_iequal("Zhang@Example.CN", "zhang@example.cn"));
  EXPECT_FALSE(ascii_iequal("abc", "abd"));
  EXPECT_FALSE(ascii_iequal("abc", "abcd"));
  // Two different GBK characters whose trail bytes differ only in case.
  EXPECT_FALSE(ascii_iequal("\x81\x41", "\x81\x61"));
  EXPECT_TRUE(ascii_iequal("\x81\x41" "A", "\x81\x41" "a"));
  // A four-byte GB18030 character keeps all its bytes.
  EXPECT_FALSE(ascii_iequal("\x81\x30\x81\x41", "\x81\x30\x81\x61"));
  EXPECT_TRUE(ascii_iequal("abcdefghijklmnopqrstuvwxyz@[`{", "ABCDEFGHIJKLMNOPQRSTUVWXYZ@[`{"));
  EXPECT_FALSE(ascii_iequal("@", "`"));  // neighbours of the letters do not fold
  EXPECT_FALSE(ascii_iequal("[", "{"));
  EXPECT_EQ(ascii_case_hash("MixedCase-Identifier-0123"), ascii_case_hash("mixedcase-IDENTIFIER-0123"));
  EXPECT_EQ(ascii_case_hash("\xd5\xc5Li"), ascii_case_hash("\xd5\xc5lI"));
  EXPECT_NE(ascii_case_hash("uid-1"), ascii_case_hash("uid-2"));
}

}  // namespace
}  // namespace pw
