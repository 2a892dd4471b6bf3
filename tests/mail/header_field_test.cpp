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
        FieldCase{"foldedSubjectKeepsFirstLine", "Subject: first\r\n second\r\nX: 1\r\n", "subject:", "first"},
        FieldCase{"bareLineFeeds", "To: a@b.c,\n d@e.f\nX: 1\n", "to:", "a@b.c, d@e.f"},
        FieldCase{"commaBeforeBlankLineStops", "To: a@b.c,\r\n\r\nbody,\r\nmore", "to:", "a@b.c,"},
        FieldCase{"noLineEndRunsToEnd", "Subject: last", "subject:", "last"},
        FieldCase{"commaAtTextEnd", "To: a@b.c,", "to:", "a@b.c,"},
        FieldCase{"emptyValue", "Subject:\r\nX: 1\r\n", "subject:", ""},
        FieldCase{"keyAtTextEnd", "Subject:", "subject:", ""},
        FieldCase{"leadingWhiteTrimmedTrailingKept", "Subject: \t hi  \r\n", "subject:", "hi  "},
        FieldCase{"bodyLineWinsWhenHeaderMissing", "From: a\r\n\r\nSubject: in body\r\n", "subject:", "in body"},
        FieldCase{"encodedWordDecoded", "Subject: =?us-ascii?Q?a_b?=\r\n", "subject:", "a b"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pw
