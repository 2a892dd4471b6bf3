// Address lists: normal form, sender parts, the address check and stored
// recipient lists.
#include "mail/address_list.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

struct TextCase {
  const char* input;
  const char* expected;
};

class NormaliseAddressList : public ::testing::TestWithParam<TextCase> {};

TEST_P(NormaliseAddressList, writesEverySeparatorAsSemicolon) {
  std::string value = GetParam().input;
  normalise_address_list(value);
  EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormaliseAddressList,
                         ::testing::Values(TextCase{"name <a>, <b>", "name <a>;<b>"},
                                           TextCase{", ;a@b.c", "a@b.c"},
                                           TextCase{"a@b.c,", "a@b.c;"},
                                           TextCase{"a@b.c ,\t d@e.f", "a@b.c ;d@e.f"},
                                           TextCase{"a;;b", "a;;b"},
                                           TextCase{"\"Li, Lei\" <l@x.cn>, b@y.cn", "\"Li, Lei\" <l@x.cn>;b@y.cn"},
                                           TextCase{"\"a\\\", b\" <a@x>,c", "\"a\\\", b\" <a@x>;c"},
                                           // a GBK trail byte 0x5C is no escape
                                           TextCase{"\"\x95\\\" <a@x>,c", "\"\x95\\\" <a@x>;c"},
                                           TextCase{"  ,,", ""}, TextCase{"", ""},
                                           TextCase{"\ta@b.c", "\ta@b.c"}));  // only ',', ' ', ';' lead

class SenderAddress : public ::testing::TestWithParam<TextCase> {};

TEST_P(SenderAddress, isTheBareAddress) { EXPECT_EQ(sender_address(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, SenderAddress,
                         ::testing::Values(TextCase{"\"Zhang San\" <zs@x.cn>", "zs@x.cn"},
                                           TextCase{"zs@x.cn", "zs@x.cn"},
                                           TextCase{"Zhang San <zs@x.cn>;ls@y.cn", "zs@x.cn;ls@y.cn"},
                                           TextCase{"zs@x.cn (Zhang San)", "zs@x.cn"},
                                           TextCase{"bbb@ddd.com (John X. Doe)", "bbb@ddd.com"},
                                           TextCase{"zs@x.cn (a (nested) comment)", "zs@x.cn"},
                                           TextCase{"Zhang (work) <zs@x.cn> (home)", "zs@x.cn"},
                                           TextCase{"\"Li (not a comment)\" <l@x.cn>", "l@x.cn"},
                                           TextCase{"zs@x.cn (unclosed", "zs@x.cn"},
                                           TextCase{"(only a comment)", ""},
                                           TextCase{"<<zs@x.cn>>", "zs@x.cn"}, TextCase{"", ""}));

class SenderName : public ::testing::TestWithParam<TextCase> {};

TEST_P(SenderName, isTheNameWithoutBlanksAndQuotes) {
  EXPECT_EQ(sender_name(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SenderName,
                         ::testing::Values(TextCase{"\"Zhang San\" <zs@x.cn>", "ZhangSan"},
                                           TextCase{"zs@x.cn", "zs"}, TextCase{"<zs@x.cn>", ""},
                                           TextCase{"nobody", ""},
                                           TextCase{"bbb@ddd.com (John X. Doe)", "JohnX.Doe"},
                                           TextCase{"(Zhang San) <zs@x.cn>", "ZhangSan"},
                                           TextCase{"\"Li (work)\" <l@x.cn>", "Li(work)"},
                                           // a GBK trail byte 0x5C quotes nothing; a backslash in a comment does
                                           TextCase{"zs@x.cn (\x95\\) x", "\x95\\"},
                                           TextCase{"zs@x.cn (a\\) b)", "a)b"},
                                           TextCase{"\t\"\xd5\xc5 \xc8\xfd\"<zs@x.cn>", "\xd5\xc5\xc8\xfd"}));

struct AddressCase {
  const char* address;
  bool acceptable;
};

class AddressCheck : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressCheck, needsADotAfterTheFirstAtCharacter) {
  EXPECT_EQ(is_acceptable_address(GetParam().address), GetParam().acceptable) << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(Cases, AddressCheck,
                         ::testing::Values(AddressCase{"a@b.c", true}, AddressCase{"a@b.", true},
                                           AddressCase{"first.last@host.cn", true},
                                           AddressCase{"first.last@host", false}, AddressCase{"a.b", false},
                                           AddressCase{"a@b", false}, AddressCase{"", false},
                                           AddressCase{"\xd5\xc5@x.cn", true},
                                           // 0x81 0x40 is one character whose trail byte equals '@'
                                           AddressCase{"x\x81@b.cn", false}, AddressCase{"\x81@.cn", false}));

TEST(StoredList, splitKeepsOnlyTerminatedEntries) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split_stored_list("a@b.c;d@e.f;"), (V{"a@b.c", "d@e.f"}));
  EXPECT_EQ(split_stored_list("a@b.c;d@e.f"), (V{"a@b.c"}));
  EXPECT_EQ(split_stored_list(""), V{});
  EXPECT_EQ(split_stored_list("no separator"), V{});
}

TEST(MailDomain, isTheTextAfterTheFirstAtWithoutBrackets) {
  EXPECT_EQ(mail_domain("a@b.cn"), "b.cn");
  EXPECT_EQ(mail_domain("Li <a@b.cn>"), "b.cn");
  EXPECT_EQ(mail_domain("a@b@c.cn"), "b@c.cn");
  EXPECT_EQ(mail_domain("a@"), "");
  EXPECT_EQ(mail_domain("nobody"), std::nullopt);
}

}  // namespace
}  // namespace pw
