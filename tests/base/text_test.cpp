// Code page conversion, safe file names and time formats.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/code_page.h"
#include "base/local_time.h"
#include "base/safe_name.h"

namespace pw {
namespace {

TEST(CodePage, chineseTextRoundTripsAndIsGbkBytes) {
  std::string gb = utf8_to_gb("所有邮箱");
  EXPECT_EQ(gb.size(), 8u);
  EXPECT_EQ(gb, "\xcb\xf9\xd3\xd0\xd3\xca\xcf\xe4");
  EXPECT_EQ(gb_to_utf8(gb), "所有邮箱");
}

TEST(CodePage, emojiSurvivesTheSystemCodePage) {
  std::string gb = utf8_to_gb("会议😀");
  EXPECT_EQ(gb_to_utf8(gb), "会议😀");
}

TEST(CodePage, invalidInputIsMarkedNotDropped) {
  EXPECT_EQ(gb_to_utf8("a\xff" "b"), "a?b");
  EXPECT_FALSE(transcode("a\xff", "UTF-8", "GB18030"));
  EXPECT_FALSE(transcode("abc", "NO-SUCH-CHARSET", "GB18030"));
}

struct NameCase {
  const char* input;
  const char* expected;
};

class SanitiseName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SanitiseName, neverLeavesItsDirectory) {
  EXPECT_EQ(sanitise_file_name(GetParam().input, "fallback"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(HostileNames, SanitiseName,
                         ::testing::Values(NameCase{"../../.bashrc", ".bashrc"}, NameCase{"/etc/passwd", "passwd"},
                                           NameCase{"C:\\x\\..\\y", "y"}, NameCase{"..", "fallback"},
                                           NameCase{".", "fallback"}, NameCase{"", "fallback"},
                                           NameCase{"a\x01\tb", "ab"}, NameCase{"a<b>:c|?*\"", "abc"},
                                           NameCase{"report.doc", "report.doc"}));

TEST(SafeName, longNamesAreCutOnCharacterBoundaries) {
  std::string name(150, '\xb0');  // 75 two-byte characters "啊"
  name[1] = '\xa1';
  std::string cut = sanitise_file_name(name + name, "x", 201);
  EXPECT_LE(cut.size(), 201u);
  EXPECT_EQ(cut.size() % 2, 0u);
  std::string with_ext = sanitise_file_name(name + name + ".pdf", "x", 201);
  EXPECT_LE(with_ext.size(), 201u);
  EXPECT_TRUE(with_ext.ends_with(".pdf"));
  EXPECT_EQ(with_ext.size() % 2, 0u);
}

std::string repeated(std::string_view piece, size_t n) {
  std::string out;
  for (size_t k = 0; k < n; ++k) out += piece;
  return out;
}

// Names cut for the file system: at most 255 bytes of UTF-8, whole
// characters, the extension and the number kept.
TEST(SafeName, fittedNamesKeepExtensionAndNumberWithinTheLimit) {
  const std::string word = "报";  // three bytes
  struct Case {
    const char* name;
    std::string input, prefix, infix;
    std::string expected;
  };
  const Case cases[] = {
      {"short name as it is", "report.doc", "", "", "report.doc"},
      {"short name numbered in front", "report.doc", "2_", "", "2_report.doc"},
      {"short name numbered before the extension", "a.eml", "", "(1)", "a(1).eml"},
      {"86 characters and an extension", repeated(word, 86) + ".pdf", "", "", repeated(word, 83) + ".pdf"},
      {"85 characters fit as they are", repeated(word, 85), "", "", repeated(word, 85)},
      {"numbered in front", repeated(word, 86) + ".pdf", "12_", "", "12_" + repeated(word, 82) + ".pdf"},
      {"numbered before the extension", repeated(word, 90) + ".eml", "", "(3)", repeated(word, 82) + "(3).eml"},
      {"four-byte characters", repeated("😀", 70) + ".txt", "", "", repeated("😀", 62) + ".txt"},
      {"a long extension is no extension", repeated(word, 90) + ".abcdefghijklmnopq", "", "",
       repeated(word, 85)},
      {"a leading dot is no extension", "." + repeated(word, 90), "", "", "." + repeated(word, 84)},
  };
  for (const Case& c : cases) {
    const std::string out = fitted_file_name(c.input, c.prefix, c.infix);
    EXPECT_EQ(out, c.expected) << c.name;
    EXPECT_LE(out.size(), kMaxFileNameBytes) << c.name;
    EXPECT_TRUE(transcode(out, "UTF-8", "UTF-16LE").has_value()) << c.name << ": a character was split";
  }
}

TEST(SafeName, isSafeRejectsSeparatorsDotsAndControls) {
  EXPECT_TRUE(is_safe_file_name("alice@example.com"));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a\nb"}) EXPECT_FALSE(is_safe_file_name(bad)) << bad;
}

// 0x5C and 0x7C are also trail bytes of two-byte characters ("\x81\x5c" is
// one character, and so is "\x81\x7c"): they are no separators and no
// forbidden characters.
TEST(SafeName, cleaningWorksOnCharactersSoTrailBytesSurvive) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"\x81\x5c.doc", "\x81\x5c.doc"},
      {"a\x81\x7c" "b|c.txt", "a\x81\x7c" "bc.txt"},
      {"dir\\\x81\x5cname", "\x81\x5cname"},
      {"\x81\x5c\x81\x7c", "\x81\x5c\x81\x7c"},
      // A lead byte without a valid trail hides no separator behind it.
      {"/etc\xa9/passwd", "passwd"},
      {"a\xa9/..", "x"},
      {"\x81\x30\x81/b", "b"},
  };
  for (const Case& c : cases) EXPECT_EQ(sanitise_file_name(c.input, "x"), c.expected) << gb_to_utf8(c.input);
  EXPECT_TRUE(is_safe_file_name("\x81\x5c@x.cn"));
  EXPECT_EQ(without_characters("\x81\x7c;|a", ";|"), "\x81\x7c" "a");
}

TEST(CodePage, pathsFromInternalTextAreUtf8OnTheFileSystem) {
  const std::string gb = utf8_to_gb("/data/报告 ¦ 表.txt");
  EXPECT_EQ(path_from_gb(gb).native(), "/data/报告 ¦ 表.txt");
  EXPECT_EQ(gb_from_path(path_from_gb(gb)), gb);
}

TEST(LocalTime, stampAndMonthFormats) {
  struct Case {
    LocalTime t;
    const char* stamp;
    const char* month;
  };
  for (const Case& c : {Case{{2003, 5, 7, 9, 4, 3}, "2003/05/07 09:04:03", "2003-05"},
                        Case{{987, 12, 31, 23, 59, 60}, "0987/12/31 23:59:60", "0987-12"},
                        Case{{12345, 1, 1, 0, 0, 0}, "12345/01/01 00:00:00", "12345-01"},
                        Case{{2003, 100, -1, 0, 0, 0}, "2003/100/-1 00:00:00", "2003-100"}}) {
    EXPECT_EQ(format_stamp(c.t), c.stamp);
    EXPECT_EQ(format_month(c.t.year, c.t.month), c.month);
  }
}

TEST(LocalTime, mailDateCarriesTheRealZoneOffset) {
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  EXPECT_EQ(format_mail_date(1057795200), "Thu, 10 Jul 2003 08:00:00 +0800");
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(format_mail_date(1057795200), "Thu, 10 Jul 2003 00:00:00 +0000");
}

}  // namespace
}  // namespace pw
