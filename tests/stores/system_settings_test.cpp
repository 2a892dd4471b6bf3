// The settings record "System" and the run-at-start-up entry.
#include "stores/system_settings.h"

#include <gtest/gtest.h>

#include "record_bytes.h"
#include "res/string_ids.h"
#include "stores/run_at_startup.h"

namespace pw {
namespace {

TEST(SystemSettings, withoutAFileChecksEveryFiveMinutesWithEveryOptionOff) {
  test::TempDir dir;
  SystemSettings s = SystemSettings::load(ProgramDir(dir.path()));
  EXPECT_EQ(s.check_interval, 5);
  EXPECT_EQ(s.interval_unit, SystemSettings::kMinutes);
  EXPECT_EQ(s.options, 0u);
  EXPECT_EQ(s.next_rule_id, 0u);
  EXPECT_EQ(s.months_to_keep, 0);
  EXPECT_EQ(s.encode(), test::record_bytes(512, {{0, "01 00 00 00"}, {8, "05 00 00 00 01 00 00 00"}}));
}

TEST(SystemSettings, encodesEveryFieldAtItsOffsetWithScrambledPasswords) {
  SystemSettings s;
  s.options = SystemSettings::kAutoDial | SystemSettings::kHangUp | SystemSettings::kCheckAtStart;
  s.check_interval = 30;
  s.interval_unit = SystemSettings::kSeconds;
  s.dial_entry = "ISP";
  s.phone_number = "163";
  s.dial_user = "u";
  s.dial_password = "abc";
  s.months_to_keep = 12;
  s.shutdown_hour = 23;
  s.shutdown_minute = 59;
  s.login_password = "pe1";
  s.next_rule_id = 0x01020304;
  s.reserved[0] = 'R';
  s.reserved[255] = 'Z';
  std::string expected = test::record_bytes(512, {
                                                     {0, "01 00 00 00 23 00 00 00 1e 00 00 00 00 00 00 00"},
                                                     {16, "49 53 50"},
                                                     {80, "31 36 33"},
                                                     {112, "75"},
                                                     {176, "11 07 0e"},
                                                     {208, "0c 00 00 00 17 00 00 00 3b 00 00 00"},
                                                     {220, "70 65 5c"},
                                                     {252, "04 03 02 01"},
                                                     {256, "52"},
                                                     {511, "5a"},
                                                 });
  EXPECT_EQ(s.encode(), expected);
  EXPECT_EQ(SystemSettings::decode(expected), s);
}

TEST(SystemSettings, notificationSwitchLivesInTheFirstReservedByteAndKeepsTheRest) {
  SystemSettings s;
  EXPECT_TRUE(s.notifications());
  s.reserved[255] = 'Z';
  s.set_notifications(false);
  const std::string image = s.encode();
  EXPECT_EQ(image, test::record_bytes(512, {{0, "01 00 00 00"}, {8, "05 00 00 00 01 00 00 00"}, {256, "01"},
                                            {511, "5a"}}));
  SystemSettings read = SystemSettings::decode(image);
  EXPECT_FALSE(read.notifications());
  read.set_notifications(true);
  EXPECT_EQ(read.encode(), test::record_bytes(512, {{0, "01 00 00 00"}, {8, "05 00 00 00 01 00 00 00"},
                                                    {511, "5a"}}));
}

TEST(SystemSettings, mailboxesAtOnceLiveInTheSecondReservedByteWithZeroForTheDefault) {
  struct Case {
    const char* stored;  // byte 257
    int read;
    int set;
    const char* written;
  };
  for (const Case& c : {Case{"00", 4, 1, "01"}, Case{"01", 1, 4, "04"}, Case{"08", 8, 0, "01"},
                        Case{"ff", 16, 99, "10"}}) {
    const std::string base = test::record_bytes(512, {{0, "01 00 00 00"}, {256, "01"}, {511, "5a"}});
    std::string image = base;
    image[257] = test::hex_bytes(c.stored)[0];
    SystemSettings s = SystemSettings::decode(image);
    EXPECT_EQ(s.mailboxes_at_once(), c.read) << c.stored;
    EXPECT_FALSE(s.notifications()) << c.stored;
    s.set_mailboxes_at_once(c.set);
    std::string expected = base;
    expected[257] = test::hex_bytes(c.written)[0];
    EXPECT_EQ(s.encode(), expected) << c.stored;
  }
}

TEST(SystemSettings, saveAndLoadRoundTripIncludingKeyLettersInPasswords) {
  test::TempDir dir;
  ProgramDir program(dir.path());
  SystemSettings s;
  s.login_password = "pemvu";
  s.dial_password = "xemvx";
  s.first_word = 7;  // kept as read
  ASSERT_TRUE(s.save(program).ok);
  EXPECT_EQ(dir.read("System").size(), 512u);
  EXPECT_EQ(dir.read("System").substr(220, 5), "pemvu");
  EXPECT_EQ(SystemSettings::load(program), s);
}

TEST(SystemSettings, autoDialOffClearsHangUpInMemoryAndInTheFile) {
  SystemSettings s;
  s.set_option(SystemSettings::kHangUp, true);
  EXPECT_FALSE(s.option(SystemSettings::kHangUp)) << "hang-up only with auto-dial";
  s.set_option(SystemSettings::kAutoDial, true);
  s.set_option(SystemSettings::kHangUp, true);
  s.set_option(SystemSettings::kAutoDial, false);
  EXPECT_EQ(s.options, 0u);
  s.options = SystemSettings::kHangUp | SystemSettings::kPurgeLogs;  // set directly
  EXPECT_EQ(s.encode().substr(4, 4), test::hex_bytes("04 00 00 00"));
}

TEST(SystemSettings, shortFileKeepsWhatItHoldsAndTheRestOfANewRecord) {
  struct Case {
    const char* name;
    std::string bytes;
    int interval;
    int unit;
    uint32_t options;
  };
  const Case cases[] = {
      {"empty", "", 5, 1, 0},
      {"options only", test::hex_bytes("01 00 00 00 04 00 00 00"), 5, 1, 4},
      {"interval cut", test::hex_bytes("01 00 00 00 04 00 00 00 0a 00"), 5, 1, 4},
      {"interval and unit", test::hex_bytes("01 00 00 00 00 00 00 00 0a 00 00 00 02 00 00 00 49 53"), 10, 2, 0},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    dir.write("System", c.bytes);
    SystemSettings s = SystemSettings::load(ProgramDir(dir.path()));
    EXPECT_EQ(s.check_interval, c.interval) << c.name;
    EXPECT_EQ(s.interval_unit, c.unit) << c.name;
    EXPECT_EQ(s.options, c.options) << c.name;
    EXPECT_EQ(s.next_rule_id, 0u) << c.name;
    EXPECT_EQ(s.reserved, std::string(256, '\0')) << c.name;
  }
  test::TempDir dir;
  dir.write("System", test::hex_bytes("01 00 00 00 00 00 00 00 0a 00 00 00 02 00 00 00 49 53"));
  EXPECT_EQ(SystemSettings::load(ProgramDir(dir.path())).dial_entry, "IS");
}

TEST(SystemSettings, longerFileIsReadForItsFirst512Bytes) {
  SystemSettings s;
  s.next_rule_id = 9;
  test::TempDir dir;
  dir.write("System", s.encode() + "trailing");
  EXPECT_EQ(SystemSettings::load(ProgramDir(dir.path())), s);
}

TEST(SystemSettings, directoryInPlaceOfTheFileGivesDefaultsAndAFailedSave) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "System" / "inner");
  ProgramDir program(dir.path());
  SystemSettings s = SystemSettings::load(program);
  EXPECT_EQ(s, SystemSettings{});
  StoreResult result = s.save(program);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.text_id, sid::kSettingsFileFailed);
}

TEST(RunAtStartup, entryIsWrittenFoundAndRemoved) {
  test::TempDir dir;
  RunAtStartup entry(dir / "config", "/opt/pelliwick/pelliwick");
  EXPECT_FALSE(entry.query());
  ASSERT_TRUE(entry.set());
  EXPECT_EQ(entry.entry_file(), dir / "config" / "autostart" / "Pelliwick.desktop");
  EXPECT_NE(dir.read("config/autostart/Pelliwick.desktop").find("\nExec=/opt/pelliwick/pelliwick -hide\n"),
            std::string::npos);
  EXPECT_TRUE(entry.query());
  EXPECT_TRUE(entry.remove());
  EXPECT_FALSE(entry.query());
  EXPECT_FALSE(std::filesystem::exists(entry.entry_file()));
}

TEST(RunAtStartup, movedExecutableReadsAsOff) {
  test::TempDir dir;
  ASSERT_TRUE(RunAtStartup(dir.path(), "/old/place/pelliwick").set());
  EXPECT_FALSE(RunAtStartup(dir.path(), "/new/place/pelliwick").query());
  EXPECT_FALSE(RunAtStartup(dir.path(), "/old/place/pelliwick2").query());
}

TEST(RunAtStartup, pathsWithReservedCharactersAreQuotedAndStillMatch) {
  struct Case {
    const char* path;
    const char* exec;
  };
  const Case cases[] = {
      {"/opt/my apps/pelliwick", "\"/opt/my apps/pelliwick\" -hide"},
      {"/opt/100%/pelliwick", "/opt/100%%/pelliwick -hide"},
      {"/opt/a$b/p", "\"/opt/a\\\\$b/p\" -hide"},
      {"/opt/a\\b/p", "\"/opt/a\\\\\\\\b/p\" -hide"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    RunAtStartup entry(dir.path(), c.path);
    EXPECT_EQ(entry.exec_line(), c.exec) << c.path;
    ASSERT_TRUE(entry.set());
    EXPECT_TRUE(entry.query()) << c.path;
  }
}

TEST(RunAtStartup, anotherDataDirectoryIsPartOfTheStartCommand) {
  test::TempDir dir;
  RunAtStartup entry(dir.path(), "/opt/p", "/home/u/mail data");
  EXPECT_EQ(entry.exec_line(), "/opt/p --data-dir \"/home/u/mail data\" -hide");
  ASSERT_TRUE(entry.set());
  EXPECT_TRUE(entry.query());
  // The same program on its default data directory is another command.
  EXPECT_FALSE(RunAtStartup(dir.path(), "/opt/p").query());
}

TEST(RunAtStartup, hiddenOrForeignEntriesReadAsOff) {
  test::TempDir dir;
  RunAtStartup entry(dir.path(), "/opt/p");
  dir.write("autostart/Pelliwick.desktop", "[Desktop Entry]\nExec=/opt/p -hide\nHidden=true\n");
  EXPECT_FALSE(entry.query());
  dir.write("autostart/Pelliwick.desktop", "[Desktop Entry]\r\nExec=/opt/p -hide\r\n");
  EXPECT_TRUE(entry.query()) << "CR LF line ends";
  dir.write("autostart/Pelliwick.desktop", "[Desktop Entry]\nExec=/opt/p\n");
  EXPECT_FALSE(entry.query()) << "without the hide switch";
  dir.write("autostart/Pelliwick.desktop", "[Other]\nExec=/opt/p -hide\n");
  EXPECT_FALSE(entry.query()) << "outside the desktop entry group";
  std::filesystem::remove(dir / "autostart" / "Pelliwick.desktop");
  std::filesystem::create_directories(dir / "autostart" / "Pelliwick.desktop");
  EXPECT_FALSE(entry.query());
}

}  // namespace
}  // namespace pw
