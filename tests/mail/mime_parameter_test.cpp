// Parameters of Content-Type and Content-Disposition values, RFC 2231 forms
// included.
#include "mail/mime_parameter.h"

#include <gtest/gtest.h>

#include "base/code_page.h"

namespace pw {
namespace {

struct ParameterCase {
  const char* name;
  const char* value;
  std::optional<std::string> expected_utf8;
};

class MimeParameter : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(MimeParameter, readsTheFileName) {
  const ParameterCase& c = GetParam();
  std::optional<std::string> got = mime_parameter(c.value, "filename");
  EXPECT_EQ(got ? std::optional(gb_to_utf8(*got)) : std::nullopt, c.expected_utf8) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MimeParameter,
    ::testing::Values(
        ParameterCase{"token", "attachment; filename=a.pdf", "a.pdf"},
        ParameterCase{"quotedWithSeparators", "attachment; filename=\"a; b=c.pdf\"; size=700", "a; b=c.pdf"},
        ParameterCase{"quotedPair", "attachment; filename=\"say \\\"hi\\\".txt\"", "say \"hi\".txt"},
        ParameterCase{"nameIsCaseBlind", "attachment;\r\n\tFileName=\"x.doc\"", "x.doc"},
        ParameterCase{"longerNameIsAnother", "attachment; filenames=x; xfilename=y", std::nullopt},
        ParameterCase{"missing", "inline", std::nullopt},
        ParameterCase{"encodedWords", "attachment; filename=\"=?gb2312?B?xOrW1dfcveEuZG9j?=\"", "年终总结.doc"},
        ParameterCase{"rawUtf8", "attachment; filename=\"\xe5\x8f\x91\xe7\xa5\xa8.pdf\"", "发票.pdf"},
        ParameterCase{"extended", "attachment; filename*=UTF-8''%E5%8F%91%E7%A5%A8.pdf", "发票.pdf"},
        ParameterCase{"extendedWithLanguageInGbk", "attachment; filename*=gbk'zh-cn'%B7%A2%C6%B1.pdf", "发票.pdf"},
        ParameterCase{"extendedWinsOverPlain", "attachment; filename=\"fapiao.pdf\"; filename*=UTF-8''%E5%8F%91.pdf",
                      "发.pdf"},
        ParameterCase{"sectionsJoinedInOrder",
                      "attachment;\r\n filename*1*=%A5%A8.pdf;\r\n filename*0*=UTF-8''%E5%8F%91%E7",
                      "发票.pdf"},
        ParameterCase{"plainSections", "attachment; filename*0=\"long \"; filename*1=\"name.txt\"", "long name.txt"},
        ParameterCase{"sectionsStopAtAGap", "attachment; filename*0=a; filename*2=c", "a"},
        ParameterCase{"brokenEscapeIsCopied", "attachment; filename*=UTF-8''100%.txt%4", "100%.txt%4"},
        ParameterCase{"extendedWithoutCharset", "attachment; filename*=a%20b.txt", "a b.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pw
