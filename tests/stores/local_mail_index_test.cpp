// The index of mails saved to disk.
#include "stores/local_mail_index.h"

#include <gtest/gtest.h>

#include "record_bytes.h"
#include "utc_clock.h"

namespace pw {
namespace {

class LocalMailIndexTest : public test::UtcTest {
 protected:
  void SetUp() override {
    UtcTest::SetUp();
    std::filesystem::create_directories(dir / "LocalMail");
  }

  LocalMailRecord add(std::string_view subject) {
    return index.add(true, "a@b.cn", "s@x", subject, "2003-05-16 10:00", 0x01020304, "/backup/m.eml");
  }

  test::TempDir dir;
  LocalMailIndex index{ProgramDir(dir.path()), clock};
};

TEST_F(LocalMailIndexTest, recordIsWrittenByteForByte) {
  add("Hi");
  std::string expected =
      test::record_bytes(716, {
                                  {0, "61 40 62 2e 63 6e"},
                                  {128, "01"},
                                  {129, "73 40 78"},
                                  {257, "48 69"},
                                  {385, "32 30 30 33 2d 30 35 2d 31 36 20 31 30 3a 30 30"},
                                  {417, "32 30 30 33 2f 30 35 2f 31 37 20 30 38 3a 30 39 3a 31 30"},
                                  {452, "04 03 02 01"},
                                  {456, "2f 62 61 63 6b 75 70 2f 6d 2e 65 6d 6c"},
                              });
  EXPECT_EQ(dir.read("LocalMail/2003-05"), expected);
}

TEST_F(LocalMailIndexTest, recordsRoundTripThroughTheMonthFile) {
  index.load_current_month();
  LocalMailRecord a = add("one");
  LocalMailRecord b = index.add(false, "c@d.cn", "t@y", std::string(300, 's'), "", 7, std::string(400, 'p'));
  EXPECT_EQ(b.subject.size(), 127u);
  EXPECT_EQ(b.path.size(), 259u);
  EXPECT_EQ(index.records(), (std::vector<LocalMailRecord>{a, b}));
  LocalMailIndex reread(ProgramDir(dir.path()), clock);
  reread.load_month(2003, 5);
  EXPECT_EQ(reread.records(), (std::vector<LocalMailRecord>{a, b}));
}

TEST_F(LocalMailIndexTest, removingOneOfTwoIdenticalRecordsRemovesOnlyTheFirstFromTheFile) {
  index.load_current_month();
  add("same");
  add("other");
  add("same");
  std::string before = dir.read("LocalMail/2003-05");
  ASSERT_TRUE(index.remove(2));
  std::string after = dir.read("LocalMail/2003-05");
  EXPECT_EQ(after, before.substr(716));
  ASSERT_EQ(index.count(), 2u);
  EXPECT_EQ(index.at(0)->subject, "same");
  EXPECT_EQ(index.at(1)->subject, "other");
  EXPECT_FALSE(index.remove(5));
}

TEST_F(LocalMailIndexTest, removalComparesTheStoredBytesAndKeepsADamagedTail) {
  LocalMailRecord r = add("x");
  std::string stored = r.encode();
  stored[300] = '\0';
  stored[301] = 'G';  // garbage after the subject's NUL, as another writer may leave
  dir.write("LocalMail/2003-05", r.encode() + stored + "tail");
  index.load_month(2003, 5);
  ASSERT_EQ(index.count(), 2u);
  ASSERT_TRUE(index.remove(1));
  EXPECT_EQ(dir.read("LocalMail/2003-05"), r.encode() + "tail");
}

TEST_F(LocalMailIndexTest, recordOnlyInMemoryIsRemovedFromMemory) {
  index.load_current_month();
  add("x");
  dir.write("LocalMail/2003-05", "");
  EXPECT_TRUE(index.remove(0));
  EXPECT_EQ(index.count(), 0u);
}

TEST_F(LocalMailIndexTest, rowStaysInMemoryWhileItsFileCannotBeRewritten) {
  index.load_current_month();
  add("x");
  std::filesystem::remove(dir / "LocalMail" / "2003-05");
  std::filesystem::create_directories(dir / "LocalMail" / "2003-05" / "inner");
  EXPECT_FALSE(index.remove(0));
  EXPECT_EQ(index.count(), 1u) << "the view would drop a row the disk still may hold";
}

TEST_F(LocalMailIndexTest, appendAfterAShortWriteKeepsLaterRecordsAligned) {
  add("first");
  ASSERT_TRUE(append_file(dir / "LocalMail" / "2003-05", std::string(300, 'z')));  // a full disk cut it
  add("second");
  index.load_month(2003, 5);
  ASSERT_EQ(index.count(), 2u);
  EXPECT_EQ(index.at(0)->subject, "first");
  EXPECT_EQ(index.at(1)->subject, "second");
}

TEST_F(LocalMailIndexTest, damagedLastRecordIsDropped) {
  add("whole");
  ASSERT_TRUE(append_file(dir / "LocalMail" / "2003-05", std::string(715, 'z')));
  index.load_month(2003, 5);
  ASSERT_EQ(index.count(), 1u);
  EXPECT_EQ(index.at(0)->subject, "whole");
}

}  // namespace
}  // namespace pw
