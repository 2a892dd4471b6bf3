// Where the data lives: --data-dir, an unpacked copy beside its data, the
// user's data directory.
#include "base/program_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace pw {
namespace {

struct LocateCase {
  const char* name;
  const char* data_dir;       // the --data-dir value, "" when not given
  const char* beside_exe;     // a file written beside the executable, "" for none
  const char* xdg_data_home;  // nullptr: unset
  const char* expected;       // EXE, HOME or an absolute path
};

TEST(ProgramDir, locateFollowsTheDataLocationRule) {
  const LocateCase cases[] = {
      {"--data-dir wins over data beside the program", "/srv/mail", "Mailbox", "/x", "/srv/mail"},
      {"an unpacked copy keeps its data", "", "System", "/x", "EXE"},
      {"a seen-list directory counts as data", "", "MailUID/a.uid", "/x", "EXE"},
      {"a file named portable keeps the data beside the program", "", "portable", "/x", "EXE"},
      {"installed: XDG_DATA_HOME", "", "", "/x/data", "/x/data/pelliwick"},
      {"installed without XDG_DATA_HOME: ~/.local/share", "", "", nullptr, "HOME/.local/share/pelliwick"},
      {"a relative XDG_DATA_HOME is ignored", "", "", "rel", "HOME/.local/share/pelliwick"},
      {"other files beside the program are not data", "", "pelliwick.desktop", "/x", "/x/pelliwick"},
  };
  for (const LocateCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir exe;
    if (*c.beside_exe) exe.write(c.beside_exe, "");
    std::string expected = c.expected;
    if (expected == "EXE") expected = exe.path().string();
    if (expected.starts_with("HOME")) expected = "/home/u" + expected.substr(4);
    EXPECT_EQ(ProgramDir::locate(c.data_dir, exe.path(), c.xdg_data_home, "/home/u"), expected);
  }
}

TEST(ProgramDir, createsAMissingDataDirectoryForItsOwnerOnly) {
  test::TempDir home;
  const ProgramDir dir(home / "share" / "pelliwick");
  ASSERT_TRUE(dir.create_directories());
  struct stat st {};
  ASSERT_EQ(::stat(dir.root().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("MailUID")));
}

}  // namespace
}  // namespace pw
