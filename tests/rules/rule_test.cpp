#include "rules/rule.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace pw {
namespace {

using test::hex_bytes;

// Writes hand-written hex bytes into `record` at `offset`.
void place(std::string& record, size_t offset, std::string_view hex) {
  std::string b = hex_bytes(hex);
  record.replace(offset, b.size(), b);
}

Rule every_field_set() {
  Rule r;
  r.id = 0x01020304;
  r.name = "R1";
  r.condition_mask = 0x4001;
  r.sense_mask = 0xfffffffe;
  r.all_words_mask = 0x20;
  r.word_lists = {"a;", "b;", "c;", "d;", "e;", "f;"};
  r.age_hours = 24;
  r.size_kb = -1;
  r.body_pattern = "*<#1>";
  r.match_all = true;
  r.action_mask = 0x7f;
  r.forward.to = "x@y;";
  r.forward.change_headers = true;
  r.forward.shown_from = "F";
  r.forward.shown_to = "T";
  r.forward.shown_subject = "S";
  r.delete_always = true;
  r.reply.from_file = true;
  r.reply.file = "r.eml";
  r.reply.subject = "Re";
  r.reply.text = "hi";
  r.backup_dir = "/b";
  r.key_info_file = "/k";
  r.key_info_template = "#S#";
  r.attachment_dir = "/a";
  r.confirm_seconds = 30;
  r.fetch_need = 7;
  r.use_count = 3;
  r.reply.attachments = {"/p1", "/p2"};
  return r;
}

std::string every_field_set_bytes() {
  std::string e(16328 + 2 * 260, '\0');
  place(e, 0, "04 03 02 01");
  place(e, 4, "52 31");
  place(e, 260, "01 40 00 00");
  place(e, 264, "fe ff ff ff");
  place(e, 268, "20 00 00 00");
  place(e, 272, "61 3b");
  place(e, 1296, "62 3b");
  place(e, 2320, "63 3b");
  place(e, 3344, "64 3b");
  place(e, 4368, "65 3b");
  place(e, 5392, "66 3b");
  place(e, 6416, "18 00 00 00");
  place(e, 6420, "ff ff ff ff");
  place(e, 6424, "2a 3c 23 31 3e");
  place(e, 8472, "01");
  place(e, 8476, "7f 00 00 00");
  place(e, 8480, "78 40 79 3b");
  place(e, 9504, "01 46");
  place(e, 10529, "54");
  place(e, 11553, "53");
  place(e, 12577, "01 01 72 2e 65 6d 6c");
  place(e, 12839, "52 65");
  place(e, 12967, "68 69");
  place(e, 15015, "2f 62");
  place(e, 15275, "2f 6b");
  place(e, 15535, "23 53 23");
  place(e, 16047, "2f 61");
  place(e, 16308, "1e 00 00 00 07 00 00 00 03 00 00 00 02 00 00 00 00 00 00 00");
  place(e, 16328, "2f 70 31");
  place(e, 16588, "2f 70 32");
  return e;
}

TEST(RuleRecord, everyFieldLandsAtItsOffset) {
  EXPECT_EQ(every_field_set().encode(), every_field_set_bytes());
}

TEST(RuleRecord, decodeReadsEveryFieldBack) {
  uint32_t attachments = 0;
  auto decoded = Rule::decode_record(every_field_set_bytes(), attachments);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(attachments, 2u);
  Rule expected = every_field_set();
  expected.reply.attachments.clear();  // the slots are read by the store
  EXPECT_EQ(*decoded, expected);
}

TEST(RuleRecord, newRuleContainsAllWordsAndAllConditions) {
  std::string e(16328, '\0');
  place(e, 264, "ff ff ff ff ff ff ff ff");
  place(e, 8472, "01");
  EXPECT_EQ(Rule().encode(), e);
}

TEST(RuleRecord, overlongTextIsCutToItsFieldAndKeepsTheNextFieldIntact) {
  Rule r;
  r.name = std::string(300, 'n');
  r.condition_mask = 0x11223344;
  std::string bytes = r.encode();
  ASSERT_EQ(bytes.size(), 16328u);
  EXPECT_EQ(bytes.substr(4, 256), std::string(255, 'n') + '\0');
  EXPECT_EQ(bytes.substr(260, 4), hex_bytes("44 33 22 11"));
}

TEST(RuleRecord, fieldWithoutNulReadsOnlyItsWidthLessOne) {
  std::string bytes = Rule().encode();
  bytes.replace(4, 256, std::string(256, 'N'));
  bytes.replace(260, 4, "ZZZZ");
  uint32_t attachments = 0;
  auto r = Rule::decode_record(bytes, attachments);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name, std::string(255, 'N'));
}

TEST(RuleRecord, shortInputIsNoRecord) {
  uint32_t attachments = 0;
  EXPECT_FALSE(Rule::decode_record(std::string(16327, '\0'), attachments));
  EXPECT_FALSE(Rule::decode_record("", attachments));
}

TEST(RuleRecord, nonZeroFlagBytesReadAsSet) {
  std::string bytes = Rule().encode();
  place(bytes, 8472, "00");
  place(bytes, 9504, "02");
  place(bytes, 12577, "ff");
  uint32_t attachments = 0;
  auto r = Rule::decode_record(bytes, attachments);
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->match_all);
  EXPECT_TRUE(r->forward.change_headers);
  EXPECT_TRUE(r->delete_always);
  EXPECT_FALSE(r->reply.from_file);
}

struct FetchCase {
  uint32_t conditions;
  uint32_t actions;
  uint32_t need;
};

TEST(FetchNeed, wholeMailBeatsHeadersAndSizeIsAddedEitherWay) {
  const FetchCase cases[] = {
      {0, 0, 0},
      {0x0001, 0, 1},        {0x0800, 0, 1},  {0x2000, 0, 1}, {0x0040, 0, 1},
      {0, 0x04, 1},          {0, 0x10, 1},
      {0x0020, 0, 2},        {0x1000, 0, 2},  {0x4000, 0, 2},
      {0, 0x02, 2},          {0, 0x08, 2},    {0, 0x20, 2},
      {0x0001 | 0x0020, 0, 2},
      {0x0080, 0, 4},        {0, 0x40, 0},
      {0x0080 | 0x0010, 0, 5},
      {0, 0x01, 5},          {0x0080, 0x02, 6}, {0, 0x01 | 0x08, 6},
  };
  for (const auto& c : cases) {
    Rule r;
    r.condition_mask = c.conditions;
    r.action_mask = c.actions;
    EXPECT_EQ(compute_fetch_need(r), c.need) << std::hex << c.conditions << " " << c.actions;
  }
}

}  // namespace
}  // namespace pw
