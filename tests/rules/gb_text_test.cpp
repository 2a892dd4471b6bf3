#include "rules/gb_text.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

constexpr size_t npos = std::string_view::npos;

TEST(GbText, characterLengthsOfOneTwoAndFourBytes) {
  std::string_view s = "a\xb0\xa1\x81\x30\x81\x30z\x81";
  EXPECT_EQ(gb_char_length(s, 0), 1u);
  EXPECT_EQ(gb_char_length(s, 1), 2u);
  EXPECT_EQ(gb_char_length(s, 3), 4u);
  EXPECT_EQ(gb_char_length(s, 7), 1u);
  EXPECT_EQ(gb_char_length(s, 8), 1u);  // a lead byte cut off by the end
  EXPECT_EQ(gb_char_length("\x81\x30\x81", 0), 1u);
}

TEST(GbText, findSkipsMatchesThatStartInsideACharacter) {
  // 啊啊 is b0 a1 b0 a1: "a1 b0" occurs only across the two characters.
  EXPECT_EQ(gb_find("\xb0\xa1\xb0\xa1", "\xa1\xb0"), npos);
  EXPECT_EQ(gb_find("\xb0\xa1\xb0\xa1", "\xb0\xa1", 1), 2u);
  // The trail byte 'A' of 81 41 is no letter A.
  EXPECT_EQ(gb_find("\x81" "AA", "A"), 2u);
  EXPECT_EQ(gb_find("abc", ""), 0u);
  EXPECT_EQ(gb_find("abc", "c", 3), npos);
  EXPECT_EQ(gb_rfind("x\xb0\xa1x\xb0\xa1", "\xb0\xa1"), 4u);
  EXPECT_EQ(gb_rfind("abc", "z"), npos);
}

TEST(GbText, prefixNeverEndsInsideACharacter) {
  EXPECT_EQ(gb_prefix("ab\xb0\xa1", 3), "ab");
  EXPECT_EQ(gb_prefix("ab\xb0\xa1", 4), "ab\xb0\xa1");
  EXPECT_EQ(gb_prefix("\x81\x30\x81\x30", 3), "");
  EXPECT_EQ(gb_prefix("abc", 10), "abc");
}

TEST(GbText, letterCaseFoldsForSingleByteCharactersOnly) {
  EXPECT_TRUE(gb_equal_ignoring_case("Rule-1", "rULE-1"));
  EXPECT_FALSE(gb_equal_ignoring_case("\x81\x41", "\x81\x61"));
  EXPECT_FALSE(gb_equal_ignoring_case("ab", "abc"));
  EXPECT_FALSE(gb_equal_ignoring_case("[", "{"));  // only letters fold
}

}  // namespace
}  // namespace pw
