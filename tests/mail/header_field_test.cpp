// Finding header lines in raw mail text.
#include "mail/header_field.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(FindHeaderKey, foldsAsciiLettersAndSkipsBlanksOnBothSides) {
  EXPECT_EQ(find_header_key("From: a", "from:", 0), 0);
  EXPECT_EQ(find_header_key("FROM: a", "from:", 0), 0);
  EXPECT_EQ(find_header_key("From : a", "from:", 0), 0);
  EXPECT_EQ(find_header_key("F r o m: a", "from:", 0), 0);
  EXPECT_EQ(find_header_key("x  From: a", "fr om:", 0), 3);  // a blank is never a match start
  EXPECT_EQ(find_header_key("From\t: a", "from:", 0), -1);   // tabs are not skipped
  EXPECT_EQ(find_header_key("\xc6rom: a", "from:", 0), -1);  // only A-Z fold
}

TEST(FindHeaderKey, startsAtTheGivenPositionAndRefusesBadInput) {
  std::string_view text = "To: a\r\nTo: b\r\n";
  EXPECT_EQ(find_header_key(text, "to:", 0), 0);
  EXPECT_EQ(find_header_key(text, "to:", 1), 7);
  EXPECT_EQ(find_header_key(text, "to:", 8), -1);
  EXPECT_EQ(find_header_key(text, "to:", 100), -1);
  EXPECT_EQ(find_header_key(text, "to:", -1), -1);
  EXPECT_EQ(find_header_key("", "to:", 0), -1);
  EXPECT_EQ(find_header_key("To", "to:", 0), -1);  // the text ends inside the key
}

struct FieldCase {
  const char* name;
  const char* text;
  const char* key;
  const char* expected;
};

class HeaderField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(HeaderField, readsTheValue) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(header_field(c.text, c.key), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderField,
    ::testing::Values(
        FieldCase{"plain", "From: a@b.c\r\nTo: d@e.f\r\n\r\nbody", "to:", "d@e.f"},
        FieldCase{"firstLine", "Subject: hi\r\n", "subject:", "hi"},
        FieldCase{"missing", "From: a@b.c\r\n", "cc:", ""},
        FieldCase{"capitals", "FROM: a@b.c\r\n", "from:", "a@b.c"},
        FieldCase{"blankInNameLeavesColon", "From : a@b.c\r\n", "from:", ": a@b.c"},
        FieldCase{"notAtLineStart", "Resent-From: x@y.z\r\n", "from:", ""},
        FieldCase{"laterLineStartWins", "Resent-From: x@y.z\r\nFrom: a@b.c\r\n", "from:", "a@b.c"},
        FieldCase{"indentedIsNotAHeader", "X: 1\r\n From: a@b.c\r\n", "from:", ""},
        FieldCase{"commaContinues", "To: a@b.c,\r\n d@e.f\r\nCc: x\r\n", "to:", "a@b.c, d@e.f"},
        FieldCase{"semicolonContinues", "To: a@b.c;\r\n\td@e.f;\r\n g@h.i\r\nX: 1\r\n", "to:",
                  "a@b.c;\td@e.f; g@h.i"},
        FieldCase{"foldedSubjectIsUnfolded", "Subject: first\r\n second\r\n\tthird\r\nX: 1\r\n", "subject:",
                  "first second\tthird"},
        FieldCase{"foldedEncodedWordsJoin",
                  "Subject: =?gb2312?B?1tA=?=\r\n =?gb2312?B?zsQ=?=\r\n =?gb2312?B?1tA=?=\r\n", "subject:",
                  "\xd6\xd0\xce\xc4\xd6\xd0"},
        FieldCase{"rawUtf8IsConverted", "Subject: \xe4\xb8\xad\xe6\x96\x87 ok\r\n", "subject:", "\xd6\xd0\xce\xc4 ok"},
        FieldCase{"rawGbkStays", "Subject: \xd6\xd0\xce\xc4\r\n", "subject:", "\xd6\xd0\xce\xc4"},
        FieldCase{"bareLineFeeds", "To: a@b.c,\n d@e.f\nX: 1\n", "to:", "a@b.c, d@e.f"},
        FieldCase{"commaBeforeBlankLineStops", "To: a@b.c,\r\n\r\nbody,\r\nmore", "to:", "a@b.c,"},
        FieldCase{"noLineEndRunsToEnd", "Subject: last", "subject:", "last"},
        FieldCase{"commaAtTextEnd", "To: a@b.c,", "to:", "a@b.c,"},
        FieldCase{"emptyValue", "Subject:\r\nX: 1\r\n", "subject:", ""},
        FieldCase{"keyAtTextEnd", "Subject:", "subject:", ""},
        FieldCase{"leadingWhiteTrimmedTrailingKept", "Subject: \t hi  \r\n", "subject:", "hi  "},
        FieldCase{"bodyIsNotSearched", "From: a\r\n\r\nCc: quoted@x\r\n", "cc:", ""},
        FieldCase{"emptyFirstLineMeansNoHeaders", "\r\nSubject: x\r\n", "subject:", ""},
        FieldCase{"foldedValueEndsAtTheBlankLine", "Subject: a\n\n b\n", "subject:", "a"},
        FieldCase{"encodedWordDecoded", "Subject: =?us-ascii?Q?a_b?=\r\n", "subject:", "a b"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pw
