// The per-account list of seen identifiers and its .uid file.
#include "stores/seen_uid_list.h"

#include <gtest/gtest.h>

#include <random>

#include "base/code_page.h"
#include "base/file_io.h"
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

TEST_F(SeenUidListTest, findIsExactAndCaseSensitiveAndReturnsTheFirstEntry) {
  SeenUidList list;
  size_t upper = list.add("UidX");
  size_t lower = list.add("uidx");
  list.add("UidX");
  struct Case {
    const char* uid;
    std::optional<size_t> found;
  };
  const Case cases[] = {{"UidX", upper}, {"uidx", lower}, {"UIDX", std::nullopt}, {"uid", std::nullopt},
                        {"UidXX", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(list.find(c.uid), c.found) << c.uid;
}

TEST_F(SeenUidListTest, identifiersOfUpTo70BytesMatchTheirStoredCopyExactly) {
  for (size_t length : {63u, 64u, 69u, 70u}) {
    std::string uid(length, 'u');
    uid.back() = 'z';
    dir.write("a@b.cn.uid", uid + "\r\n");
    SeenUidList list(file());
    list.load();
    EXPECT_EQ(list.identifier(0), uid);
    EXPECT_TRUE(list.find(uid)) << length << " bytes: the same mail would count as new at every check";
    std::string other = uid;
    other[0] = 'U';
    EXPECT_FALSE(list.find(other)) << length;
  }
  // Over-long identifiers (no RFC 1939 server sends them) are kept and found
  // by their first 70 bytes, never new again at every check.
  SeenUidList list;
  list.add(std::string(80, 'q'));
  EXPECT_EQ(list.identifier(0).size(), 70u);
  EXPECT_TRUE(list.find(std::string(80, 'q')));
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
  EXPECT_EQ(list.add("a", true), a);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_NE(list.add("a"), a);
  EXPECT_NE(list.add("A", true), a);
  EXPECT_EQ(list.size(), 3u);
}

TEST_F(SeenUidListTest, removeTakesEveryEqualEntryAndLaterAddsWorkAgain) {
  SeenUidList list(file());
  list.add("x1");
  list.add("X1");
  list.add("keep");
  list.add("x1");
  EXPECT_EQ(list.remove("x1"), 2u);
  EXPECT_EQ(list.remove("x1"), 0u);
  EXPECT_FALSE(list.find("x1"));
  EXPECT_EQ(list.size(), 2u);
  size_t again = list.add("x1");
  EXPECT_EQ(list.find("x1"), again);
  ASSERT_TRUE(list.save(false));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "X1\r\nkeep\r\nx1\r\n");
  EXPECT_EQ(list.identifiers(), (std::vector<std::string>{"X1", "keep", "x1"}));
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
  ASSERT_TRUE(list.append_seen(std::string(80, 'q')));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "m1\r\n" + std::string(70, 'q') + "\r\n");
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
  // Between two appends of this list, another process leaves a piece; then
  // the file is replaced by one of the same length ending inside a line.
  ASSERT_TRUE(append_file(file(), "3"));
  ASSERT_TRUE(list.append_seen("88"));
  EXPECT_EQ(dir.read("a@b.cn.uid"), "1234\r\n12\r\n77\r\n3\r\n88\r\n");
  ASSERT_TRUE(write_file_atomic(file(), std::string(18, 'x') + "\r\n9"));
  ASSERT_TRUE(list.append_seen("99"));
  EXPECT_EQ(dir.read("a@b.cn.uid"), std::string(18, 'x') + "\r\n9\r\n99\r\n");
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
  EXPECT_TRUE(after.contains("m2"));
}

TEST_F(SeenUidListTest, refreshTakesInWhatAnotherProcessAppendedOrRewrote) {
  dir.write("a@b.cn.uid", "a\r\n");
  SeenUidList list(file());
  list.load();
  list.mark_seen(0);
  ASSERT_TRUE(list.append_seen("b"));
  list.add("b");
  // Another process appends, its last line cut short by a crash.
  SeenUidList other(file());
  ASSERT_TRUE(other.append_seen("c"));
  ASSERT_TRUE(append_file(file(), "d"));
  list.refresh();
  EXPECT_EQ(list.identifiers(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(list.unseen(0) && list.unseen(1) && list.unseen(2)) << "ready for a new listing";
  ASSERT_TRUE(append_file(file(), "\r\n"));
  list.refresh();
  EXPECT_EQ(list.identifiers(), (std::vector<std::string>{"a", "b", "c", "d"}));

  // Another process rewrote it (a check dropped mails gone from the server).
  other.clear();
  other.add("c");
  ASSERT_TRUE(other.save(false));
  list.refresh();
  EXPECT_EQ(list.identifiers(), std::vector<std::string>{"c"});
  EXPECT_TRUE(list.has_unseen());
  list.mark_seen(*list.find("c"));
  EXPECT_FALSE(list.has_unseen());
}

TEST_F(SeenUidListTest, fileNameIsTheAddressAsStoredUnlessItCouldLeaveTheDirectory) {
  struct Case {
    const char* address;
    bool usable;
  };
  const Case cases[] = {
      {"Zhang@Example.cn", true}, {"a..b@x.cn", true},  {"\xd5\xc5@x.cn", true}, {"a/b@x.cn", false},
      {"a\\b@x.cn", false},       {"..", false},        {".", false},            {"", false},
      {"a\nb@x.cn", false},       {"a\x7f@x.cn", false},  {"\xb1\x5c@x.cn", true},
  };
  for (const Case& c : cases) {
    auto path = SeenUidList::file_for(dir.path(), c.address);
    EXPECT_EQ(path.has_value(), c.usable) << c.address;
    if (path) {
      EXPECT_EQ(*path, dir / gb_to_utf8(std::string(c.address) + ".uid"));
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
    auto found = list.find("UID-" + std::to_string(i) + "-Abc");
    ASSERT_TRUE(found) << i;
    EXPECT_EQ(*found, size_t(i));
  }
  EXPECT_FALSE(list.find("UID-20000-Abc"));
  EXPECT_FALSE(list.find("uid-1-abc"));
  ASSERT_TRUE(list.save(false));
  EXPECT_EQ(dir.read("a@b.cn.uid"), text);
}

// Random adds, removes and lookups against a plain model of the list: the
// first live entry of each identifier.
TEST_F(SeenUidListTest, agreesWithAPlainModelThroughGrowthAndRemovals) {
  SeenUidList list;
  std::vector<std::pair<std::string, bool>> model;  // identifier, live
  std::mt19937 rng(7);
  for (int step = 0; step < 10000; ++step) {
    std::string uid = (rng() % 2 ? "Id" : "id") + std::to_string(rng() % 1500);
    switch (rng() % 4) {
      case 0:
      case 1:
        ASSERT_EQ(list.add(uid), model.size());
        model.emplace_back(uid, true);
        break;
      case 2: {
        size_t expected = 0;
        for (auto& [id, live] : model) {
          if (live && id == uid) {
            live = false;
            ++expected;
          }
        }
        ASSERT_EQ(list.remove(uid), expected) << step;
        break;
      }
      default: {
        std::optional<size_t> expected;
        size_t last = 0;  // the last live entry of `uid`: a wrong hint
        for (size_t i = 0; i < model.size(); ++i) {
          if (model[i].second && model[i].first == uid) {
            if (!expected) expected = i;
            last = i;
          }
        }
        ASSERT_EQ(list.find(uid), expected) << step;
        // A hint, right or wrong, never changes the answer.
        for (size_t hint : {size_t(rng() % (model.size() + 2)), expected.value_or(0), last, last + 1})
          ASSERT_EQ(list.find(uid, hint), expected) << step << " hint " << hint;
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
