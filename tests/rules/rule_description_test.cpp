#include "rules/rule_description.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "res/language.h"
#include "res/string_table.h"
#include "support/temp_dir.h"

namespace pw {

void PrintTo(const DescriptionLink& l, std::ostream* os) {
  *os << "{kind " << static_cast<int>(l.kind) << " bit 0x" << std::hex << l.bit << std::dec << " sub " << l.sub_item
      << " [" << l.start << ", " << l.end << ")}";
}

namespace {

using Target = DescriptionHit::Target;

std::string gb(std::string_view utf8) { return utf8_to_gb(utf8); }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2) {
    out.push_back(gb_to_utf8(text.substr(start, crlf - start)));
  }
  EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
  return out;
}

DescriptionLink condition_link(uint32_t bit, size_t start, size_t end) {
  return {LinkKind::condition, bit, 0, start, end};
}

DescriptionLink action_link(uint32_t bit, size_t start, size_t end, int sub_item = 0) {
  return {LinkKind::action, bit, sub_item, start, end};
}

Rule with_action(ActionKind k) {
  Rule r;
  r.action_mask = bit(k);
  return r;
}

// The sender words a and b (contains, all), the subject with no words, all
// conditions, and delete only when the other actions succeeded.
Rule worked_example() {
  Rule r;
  r.condition_mask = 0x0001 | 0x0010;
  r.word_lists[0] = "a;b;";
  r.action_mask = 0x40;
  return r;
}

TEST(RuleDescription, newRuleSaysOnlyThatMailHasArrived) {
  RuleDescription d = build_rule_description(Rule());
  EXPECT_EQ(d.text, gb("服务器上有新邮件\r\n"));
  EXPECT_TRUE(d.links.empty());
  EXPECT_TRUE(d.joiners.empty());
}

TEST(RuleDescription, workedExampleReadsLineByLine) {
  RuleDescription d = build_rule_description(worked_example());
  EXPECT_EQ(lines(d.text), (std::vector<std::string>{"服务器上有新邮件", "若“发件人”行中包含a和b",
                                                     "和 若“主题”行中包含特定的词", "则",
                                                     "从服务器上删除(其它操作成功再删除)"}));
  EXPECT_EQ(d.text.size(), 115u);
  EXPECT_EQ(d.text.substr(75, 4), test::hex_bytes("d4 f2 0d 0a"));  // 则 CR LF
}

TEST(RuleDescription, workedExampleLinksAndJoinerAtTheirByteOffsets) {
  RuleDescription d = build_rule_description(worked_example());
  EXPECT_EQ(d.links, (std::vector<DescriptionLink>{condition_link(0x0001, 34, 42), condition_link(0x0010, 61, 73),
                                                   action_link(0x40, 93, 113)}));
  EXPECT_EQ(d.joiners, std::vector<size_t>{44});
  EXPECT_EQ(d.text.substr(44, 2), test::hex_bytes("ba cd"));  // 和
  EXPECT_EQ(d.link_spans(), (std::vector<DescriptionSpan>{{34, 42}, {61, 73}, {93, 113}}));
  EXPECT_EQ(d.joiner_spans(), (std::vector<DescriptionSpan>{{44, 46}}));
}

TEST(RuleDescription, clickFindsTheLinkTheJoinerOrNothing) {
  RuleDescription d = build_rule_description(worked_example());
  struct {
    size_t at;
    Target target;
    uint32_t bit;
  } cases[] = {{0, Target::none, 0},       {33, Target::none, 0},       {34, Target::link, 0x0001},
               {41, Target::link, 0x0001}, {42, Target::none, 0},       {44, Target::joiner, 0},
               {45, Target::joiner, 0},    {46, Target::none, 0},       {61, Target::link, 0x0010},
               {72, Target::link, 0x0010}, {75, Target::none, 0},       {93, Target::link, 0x40},
               {112, Target::link, 0x40},  {113, Target::none, 0},      {5000, Target::none, 0}};
  for (const auto& c : cases) {
    DescriptionHit hit = d.hit(c.at);
    EXPECT_EQ(hit.target, c.target) << c.at;
    if (c.target == Target::link) {
      ASSERT_NE(hit.link, nullptr);
      EXPECT_EQ(hit.link->bit, c.bit) << c.at;
    }
  }
}

TEST(RuleDescription, anyJoinsConditionsWithOr) {
  Rule r = worked_example();
  r.match_all = false;
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[2], "或 若“主题”行中包含特定的词");
  EXPECT_EQ(d.text.substr(44, 2), test::hex_bytes("bb f2"));
  EXPECT_EQ(d.hit(44).target, Target::joiner);
}

TEST(RuleDescription, wordConditionShowsSenseAndJoinerOfItsWords) {
  Rule r;
  r.condition_mask = 0x0002;
  r.word_lists[1] = "a;b;";
  r.sense_mask = ~0x0002u;
  r.all_words_mask = ~0x0002u;
  EXPECT_EQ(lines(build_rule_description(r).text)[1], "若“收件人”行中不包含a或b");
  r.word_lists[1] = "";
  EXPECT_EQ(lines(build_rule_description(r).text)[1], "若“收件人”行中包含用户");
}

TEST(RuleDescription, countdownNamesItsSecondsOrWaitsForever) {
  Rule r = with_action(ActionKind::confirm);
  r.confirm_seconds = 30;
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[2], "提示用户确认有符合条件的邮件30秒钟");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{action_link(0x01, 50, 56)});
  r.confirm_seconds = 0;
  d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[2], "提示用户确认有符合条件的邮件永远等待");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{action_link(0x01, 50, 58)});
}

TEST(RuleDescription, bodyPatternShowsItsFirstLineOnly) {
  struct {
    const char* pattern;
    const char* line;
    size_t end;
  } cases[] = {
      {"abc\r\ndef", "若邮件正文格式符合\"abc...\"", 44},
      {"abc\ndef", "若邮件正文格式符合\"abc...\"", 44},
      {"abc\r\n", "若邮件正文格式符合\"abc...\"", 44},
      {"abc", "若邮件正文格式符合\"abc\"", 41},
      {"", "若邮件正文格式符合指定的样式", 46},
  };
  for (const auto& c : cases) {
    Rule r;
    r.condition_mask = 0x4000;
    r.body_pattern = c.pattern;
    RuleDescription d = build_rule_description(r);
    EXPECT_EQ(lines(d.text)[1], c.line) << c.pattern;
    EXPECT_EQ(d.links, std::vector<DescriptionLink>{condition_link(0x4000, 36, c.end)}) << c.pattern;
  }
}

TEST(RuleDescription, numberConditionsShowValueAndSense) {
  Rule r;
  r.condition_mask = 0x0040;
  r.age_hours = 24;
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[1], "若邮件日期距收信时间大于24小时");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{condition_link(0x0040, 38, 48)});
  r.age_hours = 0;
  d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[1], "若邮件日期距收信时间大于指定小时数");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{condition_link(0x0040, 38, 52)});

  r.condition_mask = 0x0080;
  r.size_kb = 10;
  r.sense_mask = ~0x0080u;
  d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[1], "若邮件长度小于10 KB");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{condition_link(0x0080, 28, 37)});
}

TEST(RuleDescription, attachmentLinkCoversOnlyHasOrHasNot) {
  Rule r;
  r.condition_mask = 0x1000;
  r.sense_mask = 0;
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[1], "若邮件不带附件");
  EXPECT_EQ(d.links, std::vector<DescriptionLink>{condition_link(0x1000, 24, 28)});
  EXPECT_EQ(d.hit(28).target, Target::none);
  r.sense_mask = 0x1000;
  EXPECT_EQ(lines(build_rule_description(r).text)[1], "若邮件带有附件");
}

TEST(RuleDescription, conditionsWithoutParametersHaveNoLink) {
  Rule r;
  r.condition_mask = 0x0100 | 0x0200 | 0x0400 | 0x0800 | 0x2000;
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text), (std::vector<std::string>{"服务器上有新邮件", "若邮件没有“发件人”", "和 若邮件没有“收件人”",
                                                     "和 若邮件没有主题", "和 若邮件没有日期",
                                                     "和 若邮件“发件人”无法在网上得到验证"}));
  EXPECT_TRUE(d.links.empty());
  EXPECT_EQ(d.joiners.size(), 4u);
}

struct KeyInfoCase {
  const char* tmpl;
  const char* file;
  const char* line;
  DescriptionLink first;
  DescriptionLink second;
};

TEST(RuleDescription, keyInformationHasTwoLinks) {
  const KeyInfoCase cases[] = {
      {"", "", "提取邮件关键信息保存到指定的文件", action_link(0x10, 30, 38), action_link(0x10, 44, 54, 1)},
      {"#S#", "/k.txt", "提取邮件\"#S#\"保存到/k.txt", action_link(0x10, 30, 35), action_link(0x10, 41, 47, 1)},
      {"a\r\nb", "", "提取邮件\"a...\"保存到指定的文件", action_link(0x10, 30, 36),
       action_link(0x10, 42, 52, 1)},
      {"a\r\n", "", "提取邮件\"a\"保存到指定的文件", action_link(0x10, 30, 33), action_link(0x10, 39, 49, 1)},
      {"", "/k", "提取邮件关键信息保存到/k", action_link(0x10, 30, 38), action_link(0x10, 44, 46, 1)},
  };
  for (const auto& c : cases) {
    Rule r = with_action(ActionKind::key_info);
    r.key_info_template = c.tmpl;
    r.key_info_file = c.file;
    RuleDescription d = build_rule_description(r);
    EXPECT_EQ(lines(d.text)[2], c.line) << c.line;
    EXPECT_EQ(d.links, (std::vector<DescriptionLink>{c.first, c.second})) << c.line;
    ASSERT_EQ(d.hit(c.first.start).link, &d.links[0]) << c.line;
    ASSERT_EQ(d.hit(c.second.end - 1).link, &d.links[1]) << c.line;
    EXPECT_EQ(d.hit(c.first.end).target, Target::none) << c.line;  // "保存到" is no link
  }
}

TEST(RuleDescription, actionTextsWithAndWithoutTheirValues) {
  struct {
    ActionKind kind;
    void (*set)(Rule&);
    const char* line;
    size_t link_start;
  } cases[] = {
      {ActionKind::forward, [](Rule& r) { r.forward.to = "a@b;c@d;"; }, "转发给a@b和c@d", 28},
      {ActionKind::forward, [](Rule&) {}, "转发给指定的用户", 28},
      {ActionKind::reply, [](Rule& r) { r.reply.from_file = true, r.reply.file = "/r.eml"; }, "自动回复邮件/r.eml", 30},
      {ActionKind::reply, [](Rule& r) { r.reply.subject = "Re"; }, "自动回复邮件主题为\"Re\"", 30},
      {ActionKind::reply, [](Rule& r) { r.reply.text = "body"; }, "自动回复邮件主题为\"\"", 30},
      {ActionKind::reply, [](Rule& r) { r.reply.subject = "ignored", r.reply.from_file = true; }, "自动回复邮件", 30},
      {ActionKind::reply, [](Rule&) {}, "自动回复邮件", 30},
      {ActionKind::backup, [](Rule& r) { r.backup_dir = "/bk"; }, "把邮件备份到/bk", 34},
      {ActionKind::backup, [](Rule&) {}, "把邮件备份到指定的目录", 34},
      {ActionKind::attachments, [](Rule& r) { r.attachment_dir = "/att"; }, "保存邮件附件到/att", 36},
      {ActionKind::attachments, [](Rule&) {}, "保存邮件附件到指定的目录", 36},
      {ActionKind::delete_on_server, [](Rule& r) { r.delete_always = true; }, "从服务器上删除(任何情况下都删除)", 36},
  };
  for (const auto& c : cases) {
    Rule r = with_action(c.kind);
    c.set(r);
    RuleDescription d = build_rule_description(r);
    ASSERT_EQ(lines(d.text).size(), 3u) << c.line;
    EXPECT_EQ(lines(d.text)[2], c.line) << c.line;
    ASSERT_EQ(d.links.size(), 1u) << c.line;
    EXPECT_EQ(d.links[0], action_link(bit(c.kind), c.link_start, d.text.size() - 2)) << c.line;
  }
}

TEST(RuleDescription, laterActionsFollowAnAndThatIsNoLink) {
  Rule r;
  r.action_mask = 0x08 | 0x40;
  r.backup_dir = "/b";
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text), (std::vector<std::string>{"服务器上有新邮件", "则", "把邮件备份到/b",
                                                     "和 从服务器上删除(其它操作成功再删除)"}));
  EXPECT_EQ(d.links, (std::vector<DescriptionLink>{action_link(0x08, 34, 36), action_link(0x40, 55, 75)}));
  EXPECT_TRUE(d.joiners.empty());
  EXPECT_EQ(d.hit(38).target, Target::none);
}

TEST(RuleDescription, everyLinkRunsToTheLineEndExceptTheTwoShortOnes) {
  Rule r;
  r.condition_mask = 0x7fff;
  r.action_mask = 0x7f;
  for (auto& list : r.word_lists) list = "w;";
  r.age_hours = 1;
  r.size_kb = 2;
  r.body_pattern = "*<#1>\r\nmore";
  r.forward.to = "a@b;";
  r.reply.subject = "s";
  r.backup_dir = "/b";
  r.key_info_template = "#1#";
  r.key_info_file = "/k";
  r.attachment_dir = "/a";
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(d.joiners.size(), 14u);
  EXPECT_EQ(d.links.size(), 10u + 7u + 1u);
  const std::string& save_to = res::text(sid::kAndSaveTo);
  const std::string& attachment = res::text(sid::kAttachmentsWord);
  for (const auto& l : d.links) {
    size_t expected_end = d.text.find("\r\n", l.start);
    if (l.kind == LinkKind::action && l.bit == 0x10 && l.sub_item == 0) expected_end = d.text.find(save_to, l.start);
    if (l.kind == LinkKind::condition && l.bit == 0x1000) expected_end = d.text.find(attachment, l.start);
    EXPECT_EQ(l.end, expected_end) << l.bit;
    EXPECT_LT(l.start, l.end) << l.bit;
  }
}

TEST(RuleDescription, damagedWordListStillGivesAClickableLink) {
  Rule r = with_action(ActionKind::forward);
  r.forward.to = ";";  // one empty word: nothing to show
  RuleDescription d = build_rule_description(r);
  EXPECT_EQ(lines(d.text)[2], "转发给指定的用户");
  ASSERT_EQ(d.links.size(), 1u);
  EXPECT_LT(d.links[0].start, d.links[0].end);
}

TEST(DescriptionPieces, oneOffOperationsUseTheActionTexts) {
  DescriptionPiece forward = forward_piece("x@y;");
  EXPECT_EQ(forward.text, gb("转发给x@y"));
  ASSERT_EQ(forward.links.size(), 1u);
  EXPECT_EQ(forward.links[0].start, 6u);
  ReplySettings typed;
  typed.subject = "Hi";
  DescriptionPiece reply = reply_piece(typed);
  EXPECT_EQ(reply.text, gb("自动回复邮件主题为\"Hi\""));
  EXPECT_EQ(reply.links[0].start, 8u);
  EXPECT_EQ(directory_piece(ActionKind::backup, "/d").text, gb("把邮件备份到/d"));
}

// Under the English texts the same rules read as English sentences, and each
// link still covers the value the user sets.
TEST(RuleDescription, englishSentencesWithTheirLinks) {
  res::set_language(res::Language::english);
  struct {
    void (*set)(Rule&);
    std::vector<std::string> lines;
    std::vector<std::string> linked;
  } cases[] = {
      {[](Rule& r) { r = worked_example(); },
       {"There is new mail on the server", "If the From line contains a and b",
        "and If the Subject line contains words", "then", "Delete from the server (after the other actions succeeded)"},
       {"contains a and b", "contains words", "(after the other actions succeeded)"}},
      {[](Rule& r) {
         r.condition_mask = 0x0040 | 0x0080 | 0x1000;
         r.age_hours = 24;
         r.size_kb = 10;
         r.sense_mask = 0x0040;
       },
       {"There is new mail on the server", "If the mail's date is before its arrival by more than 24 hours",
        "and If the mail's size is less than 10 KB", "and If the mail has no attachments"},
       {"more than 24 hours", "less than 10 KB", "has no "}},
      {[](Rule& r) {
         r.action_mask = bit(ActionKind::forward) | bit(ActionKind::key_info) | bit(ActionKind::reply);
         r.forward.to = "x@a.test;y@b.test;";
         r.key_info_template = "#S#";
         r.reply.subject = "Re";
       },
       {"There is new mail on the server", "then", "Forward to x@a.test and y@b.test",
        "and Reply automatically with a mail with subject \"Re\"",
        "and Extract \"#S#\" and save to given file"},
       {"x@a.test and y@b.test", "mail with subject \"Re\"", "\"#S#\"", "given file"}},
  };
  for (const auto& c : cases) {
    Rule r;
    c.set(r);
    const RuleDescription d = build_rule_description(r);
    EXPECT_EQ(lines(d.text), c.lines);
    std::vector<std::string> linked;
    for (const DescriptionLink& l : d.links) linked.push_back(d.text.substr(l.start, l.end - l.start));
    EXPECT_EQ(linked, c.linked);
  }
  res::set_language(res::Language::chinese);
}

}  // namespace
}  // namespace pw
