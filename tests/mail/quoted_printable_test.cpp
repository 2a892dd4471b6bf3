#include "mail/quoted_printable.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

struct QpCase {
  const char* name;
  std::string input;
  std::string expected;
};

class QuotedPrintable : public ::testing::TestWithParam<QpCase> {};

TEST_P(QuotedPrintable, decodesAsMailersWriteIt) {
  EXPECT_EQ(quoted_printable_decode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedPrintable,
    ::testing::Values(
        QpCase{"hexPair", "=D6=D0", "\xd6\xd0"},
        QpCase{"lowerCaseHex", "a=3db", "a=b"},
        QpCase{"softBreakJoinsLines", "first=\r\nsecond", "firstsecond"},
        QpCase{"softBreakWithBareLineFeed", "first=\nsecond", "firstsecond"},
        QpCase{"hardLineBreakStays", "one\r\ntwo", "one\r\ntwo"},
        QpCase{"dotsAfterSoftBreakAreTheSenders", "a=\r\n..b", "a..b"},
        QpCase{"singleDotAfterSoftBreakStays", "a=\r\n.b", "a.b"},
        QpCase{"equalsAtTheEndIsDropped", "end=", "end"},
        QpCase{"equalsAndOneCharacterAtTheEnd", "end=4", "end"},
        QpCase{"halfHexPairGivesItsDigit", "=4X", "\x04"},
        QpCase{"notAnEscapeStays", "a=XYb", "a=XYb"},
        QpCase{"encodedNulIsKept", "a=00b", std::string("a\0b", 3)},
        QpCase{"underscoreStaysInBodies", "a_b", "a_b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedPrintableWord, underscoreIsASpace) {
  EXPECT_EQ(quoted_printable_decode_word("=D6=D0_=CE=C4"), "\xd6\xd0 \xce\xc4");
  EXPECT_EQ(quoted_printable_decode_word("a=5Fb"), "a_b");
}

TEST(QuotedPrintable, everyByteRoundTripsThroughItsEscape) {
  std::string encoded;
  std::string expected;
  for (int b = 0; b < 256; ++b) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "=%02X", b);
    encoded += buf;
    expected.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(quoted_printable_decode(encoded), expected);
}

}  // namespace
}  // namespace pw
