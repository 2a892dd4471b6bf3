#include "base/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/program_dir.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

mode_t umask_now() {
  mode_t m = ::umask(022);
  ::umask(m);
  return m;
}

TEST(FileIo, atomicWriteReplacesContentAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  dir.write("store", "old content");
  ASSERT_TRUE(write_file_atomic(dir / "store", "new"));
  EXPECT_EQ(dir.read("store"), "new");
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(FileIo, failedAtomicWriteKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  test::TempDir dir;
  dir.write("store", "old content");
  chmod(dir.path().c_str(), 0500);
  EXPECT_FALSE(write_file_atomic(dir / "store", "new"));
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(dir.read("store"), "old content");
}

TEST(FileIo, atomicWriteOverADirectoryFailsAndKeepsTheDirectory) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "store" / "inner");
  EXPECT_FALSE(write_file_atomic(dir / "store", "data"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "store" / "inner"));
}

TEST(FileIo, readRefusesDirectoriesMissingFilesAndOversizedFiles) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "sub");
  dir.write("big", std::string(100, 'a'));
  EXPECT_FALSE(read_file(dir / "sub"));
  EXPECT_FALSE(read_file(dir / "missing"));
  EXPECT_FALSE(read_file(dir / "big", 99));
  EXPECT_EQ(read_file(dir / "big", 100).value_or(""), std::string(100, 'a'));
}

TEST(FileIo, appendNeverTruncates) {
  test::TempDir dir;
  ASSERT_TRUE(append_file(dir / "log", "ab"));
  ASSERT_TRUE(append_file(dir / "log", "cd", true));
  EXPECT_EQ(dir.read("log"), "abcd");
}

TEST(FileIo, appendAfterAShortWriteCutsThePartialRecordFirst) {
  test::TempDir dir;
  AppendFile held;
  ASSERT_TRUE(append_record(held, dir / "2004-11", "AAAA", 4));
  ASSERT_TRUE(append_file(dir / "2004-11", "BB"));  // the disk filled up mid-record
  ASSERT_TRUE(append_record(held, dir / "2004-11", "CCCC", 4));
  ASSERT_TRUE(append_record(held, dir / "2004-11", "DDDD", 4));
  EXPECT_EQ(dir.read("2004-11"), "AAAACCCCDDDD");
}

// The file stays open between appends; one rewritten (renamed over) or
// removed meanwhile, or another month, gets the next record by its name.
TEST(FileIo, heldRecordFileFollowsItsNameWhenReplacedOrRemoved) {
  test::TempDir dir;
  AppendFile held;
  ASSERT_TRUE(append_record(held, dir / "2004-11", "AAAA", 4));
  ASSERT_TRUE(write_file_atomic(dir / "2004-11", "BBBB"));
  ASSERT_TRUE(append_record(held, dir / "2004-11", "CCCC", 4));
  EXPECT_EQ(dir.read("2004-11"), "BBBBCCCC");
  std::filesystem::remove(dir / "2004-11");
  ASSERT_TRUE(append_record(held, dir / "2004-11", "DDDD", 4));
  ASSERT_TRUE(append_record(held, dir / "2004-12", "EEEE", 4));
  EXPECT_EQ(dir.read("2004-11"), "DDDD");
  EXPECT_EQ(dir.read("2004-12"), "EEEE");
}

// With the lock kept, the file's end is known without a look: a record
// another writer appended without the lock meanwhile is not cut away from
// under its own next record, nor any record of ours.
TEST(FileIo, keptLockAppendsAtTheKnownEndUntilLetGo) {
  test::TempDir dir;
  AppendFile held;
  ASSERT_TRUE(append_record(held, dir / "2004-11", "AAAA", 4, true));
  EXPECT_TRUE(held.keeps_lock(dir / "2004-11"));
  EXPECT_FALSE(held.keeps_lock(dir / "2004-12"));
  ASSERT_TRUE(append_record(held, dir / "2004-11", "BBBB", 4, true));
  held.unlock();
  EXPECT_FALSE(held.keeps_lock(dir / "2004-11"));
  ASSERT_TRUE(append_file(dir / "2004-11", "CC"));  // cut short by a full disk
  ASSERT_TRUE(append_record(held, dir / "2004-11", "DDDD", 4, true));
  ASSERT_TRUE(append_record(held, dir / "2004-12", "EEEE", 4, true));
  EXPECT_FALSE(held.keeps_lock(dir / "2004-11"));
  EXPECT_EQ(dir.read("2004-11"), "AAAABBBBDDDD");
  EXPECT_EQ(dir.read("2004-12"), "EEEE");
}

TEST(FileIo, lockOfAMissingFileCreatesNothing) {
  test::TempDir dir;
  { const FileLock lock(dir / "2004-11"); }
  EXPECT_FALSE(std::filesystem::exists(dir / "2004-11"));
}

TEST(FileIo, privateFilesAreTheOwnersAloneWhateverWasThereBefore) {
  test::TempDir dir;
  using std::filesystem::perms;
  struct Case {
    unsigned mode;
    perms before;
    perms after;
  };
  const Case cases[] = {{kPrivateFile, perms(0644), perms(0600)}, {kPrivateFile, perms(0666), perms(0600)},
                        {kSharedFile, perms(0600), perms(0644) & ~perms(umask_now())}};
  for (const Case& c : cases) {
    ASSERT_TRUE(write_file_atomic(dir / "f", "old"));
    std::filesystem::permissions(dir / "f", c.before);
    ASSERT_TRUE(write_file_atomic(dir / "f", "new", c.mode));
    EXPECT_EQ(std::filesystem::status(dir / "f").permissions(), c.after) << std::oct << c.mode;
  }
}

TEST(ProgramDirectory, dataDirectoryIsTheOwnersAlone) {
  test::TempDir dir;
  ASSERT_TRUE(ProgramDir(dir / "new" / "data").create_directories());
  EXPECT_EQ(std::filesystem::status(dir / "new" / "data").permissions(), std::filesystem::perms(0700));
  // An existing data directory is tightened too.
  dir.write("old/Mailbox", "");
  std::filesystem::permissions(dir / "old", std::filesystem::perms(0755));
  ASSERT_TRUE(ProgramDir(dir / "old").create_directories());
  EXPECT_EQ(std::filesystem::status(dir / "old").permissions(), std::filesystem::perms(0700));
}

}  // namespace
}  // namespace pw
