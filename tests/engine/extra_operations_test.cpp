// The extra operations' description with its links, and the check that
// keeps an operation without its parameter from running.
#include "engine/extra_operations.h"

#include <gtest/gtest.h>

#include "base/code_page.h"
#include "res/string_table.h"

namespace pw::test {
namespace {

TEST(ExtraOperations, problemNamesTheFirstOperationMissingItsParameter) {
  struct Case {
    const char* name;
    uint8_t operations;
    const char* forward_to;
    bool from_file;
    const char* file;
    const char* subject;
    const char* text;
    const char* backup_dir;
    int problem;
  };
  const Case cases[] = {
      {"nothing chosen", 0, "", false, "", "", "", "", 0},
      {"delete needs nothing", ExtraOperations::kDelete, "", false, "", "", "", "", 0},
      {"forward without recipients", ExtraOperations::kForward, "", false, "", "", "", "", sid::kNoForwardTo},
      {"forward with recipients", ExtraOperations::kForward, "a@x;", false, "", "", "", "", 0},
      {"typed reply without text", ExtraOperations::kReply, "", false, "", "s", "", "", sid::kNoReply},
      {"typed reply without subject", ExtraOperations::kReply, "", false, "", "", "t", "", sid::kNoReply},
      {"typed reply", ExtraOperations::kReply, "", false, "", "s", "t", "", 0},
      {"reply from no file", ExtraOperations::kReply, "", true, "", "s", "t", "", sid::kNoReply},
      {"reply from a file", ExtraOperations::kReply, "", true, "/r.eml", "", "", "", 0},
      {"backup without directory", ExtraOperations::kBackup, "", false, "", "", "", "", sid::kNoBackupFolder},
      {"forward is checked first", ExtraOperations::kForward | ExtraOperations::kBackup, "", false, "", "", "", "",
       sid::kNoForwardTo},
  };
  for (const Case& c : cases) {
    ExtraOperations extra;
    extra.operations = c.operations;
    extra.forward.to = c.forward_to;
    extra.reply.from_file = c.from_file;
    extra.reply.file = c.file;
    extra.reply.subject = c.subject;
    extra.reply.text = c.text;
    extra.backup_dir = c.backup_dir;
    EXPECT_EQ(extra_operations_problem(extra), c.problem) << c.name;
  }
}

TEST(ExtraOperations, descriptionJoinsTheItemsAndLinksEachValueToItsLineEnd) {
  ExtraOperations extra;
  extra.operations = ExtraOperations::kForward | ExtraOperations::kBackup | ExtraOperations::kDelete;
  extra.forward.to = "a@x;b@x;";
  extra.backup_dir = "/bak";
  const RuleDescription d = describe_extra_operations(extra);
  const std::string forward = utf8_to_gb("转发给a@x和b@x\r\n");
  const std::string backup = utf8_to_gb("和 把邮件备份到/bak\r\n");
  EXPECT_EQ(d.text, forward + backup + res::text(sid::kAnd) + " " + res::text(sid::kDeleteOnServer) + "\r\n");
  ASSERT_EQ(d.links.size(), 2u);
  EXPECT_EQ(d.links[0].bit, ExtraOperations::kForward);
  EXPECT_EQ(d.links[0].start, 6u);  // after "转发给"
  EXPECT_EQ(d.links[0].end, forward.size() - 2);
  EXPECT_EQ(d.links[1].bit, ExtraOperations::kBackup);
  EXPECT_EQ(d.links[1].start, forward.size() + 3 + 12);  // after "和 " and "把邮件备份到"
  EXPECT_EQ(d.links[1].end, forward.size() + backup.size() - 2);
  EXPECT_EQ(d.hit(d.links[1].start).link, &d.links[1]);
  EXPECT_EQ(d.hit(0).link, nullptr);
  EXPECT_EQ(d.hit(d.text.size() - 3).link, nullptr);  // the delete item has no link
}

}  // namespace
}  // namespace pw::test
