// Address lists: normal form, sender parts, the address check and stored
// recipient lists.
#include "mail/address_list.h"

#include <gtest/gtest.h>

#include "res/string_table.h"

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

TEST(AddressCheck, needsADotAfterTheFirstAt) {
  EXPECT_TRUE(is_acceptable_address("a@b.c"));
  EXPECT_TRUE(is_acceptable_address("a@b."));
  EXPECT_TRUE(is_acceptable_address("first.last@host.cn"));
  EXPECT_FALSE(is_acceptable_address("first.last@host"));
  EXPECT_FALSE(is_acceptable_address("a.b"));
  EXPECT_FALSE(is_acceptable_address("a@b"));
  EXPECT_FALSE(is_acceptable_address(""));
}

TEST(StoredList, addsEntriesWithTheirSeparator) {
  std::string list;
  EXPECT_EQ(add_to_stored_list(list, "a@b.c"), StoredListAdd::added);
  EXPECT_EQ(add_to_stored_list(list, "d@e.f"), StoredListAdd::added);
  EXPECT_EQ(list, "a@b.c;d@e.f;");
}

TEST(StoredList, refusesInTheCheckOrderAndLeavesTheListAlone) {
  std::string list = "a@b.c;";
  EXPECT_EQ(add_to_stored_list(list, ""), StoredListAdd::nothing_to_add);
  EXPECT_EQ(add_to_stored_list(list, "x;y"), StoredListAdd::has_separator);  // before the address check
  EXPECT_EQ(add_to_stored_list(list, "nobody"), StoredListAdd::bad_address);
  EXPECT_EQ(add_to_stored_list(list, "a@b.c"), StoredListAdd::already_present);
  EXPECT_EQ(list, "a@b.c;");
}

TEST(StoredList, duplicateTestLooksAtWholeEntriesOnly) {
  std::string list = "xa@b.c;";
  EXPECT_EQ(add_to_stored_list(list, "a@b.c"), StoredListAdd::added);  // only the tail of an entry
  EXPECT_EQ(add_to_stored_list(list, "a@b.c"), StoredListAdd::already_present);
  std::string prefix = "a@b.cn;";
  EXPECT_EQ(add_to_stored_list(prefix, "a@b.c"), StoredListAdd::added);
  std::string unterminated = "d@e.f;a@b.c";  // typed in by hand, last entry without ';'
  EXPECT_EQ(add_to_stored_list(unterminated, "a@b.c"), StoredListAdd::already_present);
  std::string cased = "A@B.C;";
  EXPECT_EQ(add_to_stored_list(cased, "a@b.c"), StoredListAdd::added);  // bytes, case-sensitive
}

TEST(StoredList, staysWithin1023Bytes) {
  std::string list(1013, 'x');  // "a@b.cn" and ';' make 1020
  list.back() = ';';
  EXPECT_EQ(add_to_stored_list(list, "a@b.cn"), StoredListAdd::added);
  EXPECT_EQ(list.size(), 1020u);
  EXPECT_EQ(add_to_stored_list(list, "d@e.f"), StoredListAdd::full);  // would be 1026
  EXPECT_EQ(add_to_stored_list(list, "d@e."), StoredListAdd::full);   // would be 1025
  EXPECT_EQ(add_to_stored_list(list, "@."), StoredListAdd::added);    // exactly 1023
  EXPECT_EQ(list.size(), kStoredListLimit);
  EXPECT_EQ(add_to_stored_list(list, "@.."), StoredListAdd::full);
}

TEST(StoredList, refusalTextsNameTheFault) {
  EXPECT_EQ(stored_list_refusal_text(StoredListAdd::has_separator), "';'" + res::text(61288));
  EXPECT_EQ(stored_list_refusal_text(StoredListAdd::bad_address), res::text(61302));
  EXPECT_EQ(stored_list_refusal_text(StoredListAdd::already_present), res::text(61289));
  EXPECT_EQ(stored_list_refusal_text(StoredListAdd::full), res::text(61385));
  EXPECT_EQ(stored_list_refusal_text(StoredListAdd::added), "");
}

TEST(StoredList, splitKeepsOnlyTerminatedEntries) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split_stored_list("a@b.c;d@e.f;"), (V{"a@b.c", "d@e.f"}));
  EXPECT_EQ(split_stored_list("a@b.c;d@e.f"), (V{"a@b.c"}));
  EXPECT_EQ(split_stored_list(""), V{});
  EXPECT_EQ(split_stored_list("no separator"), V{});
}

TEST(StoredList, splitOfAddedEntriesGivesThemBack) {
  std::string list;
  std::vector<std::string> entries = {"a@b.c", "\xd5\xc5<zs@x.cn>", "x.y@z.org"};
  for (const auto& e : entries) ASSERT_EQ(add_to_stored_list(list, e), StoredListAdd::added);
  EXPECT_EQ(split_stored_list(list), entries);
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
