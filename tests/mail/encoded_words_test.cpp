// Encoded words: decoding, malformed sequences and charset conversion.
#include "mail/encoded_words.h"

#include <gtest/gtest.h>

#include "base/code_page.h"
#include "mail/base64.h"
#include "mail/quoted_printable.h"

namespace pw {
namespace {

// "中文" in GB2312 and in UTF-8.
const std::string kZhongWenGb = "\xd6\xd0\xce\xc4";
const std::string kZhongWenUtf8 = "中文";

struct WordCase {
  const char* name;
  std::string input;
  std::string expected;
};

class EncodedWords : public ::testing::TestWithParam<WordCase> {};

TEST_P(EncodedWords, decodeToTheWrittenText) {
  EXPECT_EQ(decode_encoded_words(GetParam().input), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodedWords,
    ::testing::Values(
        WordCase{"plainText", "hello world", "hello world"},
        WordCase{"leadingWhiteTrimmed", " \t\r\nhi ", "hi "},
        WordCase{"gb2312BytesUnchanged", "=?gb2312?B?1tDOxA==?=", kZhongWenGb},
        WordCase{"gbkLowerCaseLetter", "=?GBK?b?1tDOxA==?=", kZhongWenGb},
        WordCase{"gb2312Q", "=?gb2312?Q?=D6=D0_=CE=C4?=", "\xd6\xd0 \xce\xc4"},
        WordCase{"qLowerCase", "=?gb2312?q?=d6=d0?=", "\xd6\xd0"},
        WordCase{"qEncodedUnderscoreStays", "=?us-ascii?Q?a=5Fb_c?=", "a_b c"},
        WordCase{"textAround", "Re: =?gb2312?B?1tDOxA==?= (2)", "Re: " + kZhongWenGb + " (2)"},
        WordCase{"adjacentDropTheirBlank", "=?gb2312?B?1tA=?= \t =?gb2312?B?zsQ=?=", kZhongWenGb},
        WordCase{"unfoldedAdjacentDropTheirBlank", "=?gb2312?B?1tA=?=\r\n =?GB2312?B?zsQ=?=", kZhongWenGb},
        WordCase{"textBetweenWordsKeepsItsBlanks", "=?gb2312?B?1tA=?= - =?gb2312?B?zsQ=?=", "\xd6\xd0 - \xce\xc4"},
        WordCase{"characterSplitOverTwoWords", "=?UTF-8?B?5Lit5g==?= =?UTF-8?B?loc=?=", kZhongWenGb},
        WordCase{"rawUtf8Converted", "\xe4\xb8\xad\xe6\x96\x87 =?gb2312?B?1tA=?=", kZhongWenGb + " \xd6\xd0"},
        WordCase{"rawGbkKept", "\xd6\xd0\xce\xc4", kZhongWenGb},
        WordCase{"adjacentWithoutBlank", "=?gb2312?B?1tA=?==?gb2312?B?zsQ=?=", kZhongWenGb},
        WordCase{"unknownEncodingDecodesToNothing", "a =?gb2312?X?abc?= b", "a  b"},
        WordCase{"noEncodingLetterIsText", "=?gb2312?= =?gb2312?B?1tA=?=", "=?gb2312?= \xd6\xd0"},
        WordCase{"missingThirdMarkIsText", "=?gb2312?Bx1tA=?=", "=?gb2312?Bx1tA=?="},
        WordCase{"unclosedIsText", "=?gb2312?B?1tDOxA==", "=?gb2312?B?1tDOxA=="},
        WordCase{"unclosedAfterGoodWord", "=?gb2312?B?1tA=?= =?gb2312?B?zsQ=", "\xd6\xd0 =?gb2312?B?zsQ="},
        WordCase{"loneOpener", "=?", "=?"},
        WordCase{"failedOpenerBeforeWord", "=?ab=?gb2312?B?1tA=?=", "=?ab\xd6\xd0"},
        WordCase{"emptyCharset", "=??B?1tA=?=", "\xd6\xd0"},
        WordCase{"emptyText", "=?gb2312?B?\?=x", "x"},
        WordCase{"base64JunkSkipped", "=?gb2312?B?1t D*O!xA?=", kZhongWenGb},
        WordCase{"qTextStartingWithEquals", "=?gb2312?Q?=D6=D0?=", "\xd6\xd0"},
        WordCase{"utf8B", "=?UTF-8?B?5Lit5paH?=", kZhongWenGb},
        WordCase{"utf8Q", "=?utf-8?Q?=E4=B8=AD=E6=96=87?=", kZhongWenGb},
        WordCase{"utf8LanguageSuffix", "=?UTF-8*zh?B?5Lit5paH?=", kZhongWenGb},
        WordCase{"latin1", "=?ISO-8859-1?Q?caf=E9?=", "caf\xa8\xa6"},
        WordCase{"invalidUtf8Kept", "=?UTF-8?B?/w==?=", "\xff"},
        WordCase{"unknownCharsetKept", "=?x-no-such?B?1tA=?=", "\xd6\xd0"},
        WordCase{"iconvOptionsNotTaken", "=?UTF-8//IGNORE?B?/0E=?=", "\xff" "A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodedWords, closerRightAfterALeadingEqualsSignIsTheEnd) {
  // "=?cs?Q?=?=": the first "?=" is the one after the letter, the second
  // closes a word whose text is a lone '='.
  EXPECT_EQ(decode_encoded_words("=?gb2312?Q?=?=x"), quoted_printable_decode_word("=") + "x");
}

TEST(EncodedWords, utf8SubjectMatchesTheTypedWord) {
  std::string typed = utf8_to_gb("会议");
  std::string subject = decode_encoded_words("=?UTF-8?B?" + base64_encode("周一会议") + "?=");
  EXPECT_NE(subject.find(typed), std::string::npos);
  EXPECT_EQ(gb_to_utf8(subject), "周一会议");
}

TEST(EncodedWords, emojiSurvivesConversion) {
  std::string subject = decode_encoded_words("=?UTF-8?B?" + base64_encode("好😀") + "?=");
  EXPECT_EQ(gb_to_utf8(subject), "好😀");
}

}  // namespace
}  // namespace pw
