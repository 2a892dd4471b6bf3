// The trace file of `--trace`: only a regular file is written, and it is
// the user's alone whatever was there before.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "base/file_io.h"
#include "net/trace_file.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

mode_t mode_of(const std::filesystem::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(TraceFile, writesOnlyARegularFileAndMakesItPrivate) {
  struct Case {
    const char* name;
    std::function<void(const test::TempDir&)> plant;  // what is at "trace" before
    int error;                                         // 0: written
  };
  const Case cases[] = {
      {"new file", [](const test::TempDir&) {}, 0},
      {"old file readable by all",
       [](const test::TempDir& d) {
         d.write("trace", "old trace");
         ::chmod((d / "trace").c_str(), 0644);
       },
       0},
      {"symbolic link to a file",
       [](const test::TempDir& d) {
         d.write("target", "keep");
         std::filesystem::create_symlink(d / "target", d / "trace");
       },
       ELOOP},
      {"dangling symbolic link",
       [](const test::TempDir& d) { std::filesystem::create_symlink(d / "made", d / "trace"); }, ELOOP},
      {"fifo without a reader", [](const test::TempDir& d) { ::mkfifo((d / "trace").c_str(), 0600); }, EINVAL},
      {"directory", [](const test::TempDir& d) { std::filesystem::create_directory(d / "trace"); }, EISDIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    c.plant(dir);
    const mode_t old_mask = ::umask(0);
    {
      TraceFile trace(dir / "trace");
      ::umask(old_mask);
      EXPECT_EQ(trace.ok(), c.error == 0);
      EXPECT_EQ(trace.error(), c.error);
      if (trace.ok()) trace.sink("POP3")("C: QUIT");
    }
    if (c.error == 0) {
      EXPECT_EQ(mode_of(dir / "trace"), 0600u);
      const std::string text = read_file(dir / "trace").value_or("");
      EXPECT_TRUE(text.ends_with(" POP3 C: QUIT\n")) << text;
      EXPECT_EQ(text.find("old trace"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "made"));
    if (std::filesystem::exists(dir / "target")) {
      EXPECT_EQ(read_file(dir / "target").value_or(""), "keep");
    }
  }
}

}  // namespace
}  // namespace pw
