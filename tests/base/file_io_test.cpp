#include "base/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace pw {
namespace {

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

}  // namespace
}  // namespace pw
