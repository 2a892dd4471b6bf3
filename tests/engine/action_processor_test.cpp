// The processor around the actions: the mail it holds, the download of the
// whole mail, the masks and the order of the dispatcher.
#include "engine/mail_processor.h"

#include "action_fixture.h"
#include "res/string_table.h"
#include "rules/rule_description.h"

namespace pw::test {
namespace {

using Outcome = DownloadResult::Outcome;

class MailProcessorTest : public ActionFixture {};

TEST_F(MailProcessorTest, failedDownloadWarnsAndKeepsTheHeaders) {
  struct Case {
    Outcome outcome;
    bool held;
    int warning;  // 0: none
  } cases[] = {
      {Outcome::downloaded, true, 0},
      {Outcome::not_on_server, false, sid::kNotOnServer},
      {Outcome::error, false, sid::kDownloadError},
      {Outcome::cancelled, false, 0},  // a cancel is not the whole mail
  };
  for (const Case& c : cases) {
    ScriptedActionHost h;
    h.downloads.push_back({c.outcome, kPlainMail});
    auto mail = processor("From: a@b.test\r\n\r\n", false);
    EXPECT_EQ(mail->ensure_whole_mail(h), c.held);
    ASSERT_EQ(h.download_requests.size(), 1u);
    EXPECT_EQ(h.download_requests[0].account.server, "pop.home.test:11110");
    EXPECT_EQ(h.download_requests[0].account.login, "me");
    EXPECT_EQ(h.download_requests[0].account.password, "pop-secret");
    EXPECT_EQ(h.download_requests[0].uid, "UID-1");
    EXPECT_EQ(mail->summary().full_text, c.held);
    EXPECT_EQ(mail->content(), c.held ? kPlainMail : "From: a@b.test\r\n\r\n");
    if (c.warning) {
      EXPECT_EQ(h.warnings, std::vector<std::string>{res::text(c.warning)});
    } else {
      EXPECT_TRUE(h.warnings.empty());
    }
  }
  // A mail held whole is never downloaded again (the host fails the test on
  // an unscripted download).
  auto whole = processor();
  EXPECT_TRUE(whole->ensure_whole_mail(host));
}

TEST_F(MailProcessorTest, dispatcherShowsEachStepInOrder) {
  auto mail = processor();
  mail->run_actions(services);
  std::vector<std::pair<int, std::string>> expected;
  for (int id : {sid::kForwarding, sid::kBackingUp, sid::kReplying, sid::kSavingKeyInfo, sid::kSavingAttachments}) expected.emplace_back(1, res::text(id));
  EXPECT_EQ(host.statuses, expected);
  EXPECT_TRUE(log_records().empty());
  EXPECT_TRUE(deletions.empty());
}

// A cancelled or failed download fails forward and backup (logged as
// failures) and nothing partial is saved; the next step tries again.
TEST_F(MailProcessorTest, failedDownloadFailsTheStepAndTheNextStepTriesAgain) {
  TempDir backup_dir;
  Rule rule;
  rule.action_mask = bit(ActionKind::forward) | bit(ActionKind::backup);
  rule.forward.to = "carol@example.test;";
  rule.backup_dir = backup_dir.path().string();
  host.downloads.push_back({Outcome::cancelled, {}});
  host.downloads.push_back({Outcome::cancelled, {}});
  auto mail = processor("From: a@b.test\r\nSubject: s\r\n\r\n", false);
  mail->add_rule(rule);
  mail->run_actions(services);

  EXPECT_EQ(host.download_requests.size(), 2u);
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_FALSE(records[0].success);
  EXPECT_FALSE(records[1].success);
  EXPECT_EQ(host.notices.size(), 2u);
  EXPECT_TRUE(files_under(backup_dir.path()).empty());
  EXPECT_EQ(local_mail.count(), 0u);
}

// Every action of one rule against real peers: logged in the fixed order
// with the rule's action texts, and the deletion queued after them.
TEST_F(MailProcessorTest, everyActionOfARuleRunsAndIsLoggedInOrder) {
  SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  MailboxRecord r = account.record();
  r.smtp_server = server.field();
  account.set_record(r);
  TempDir target;
  Rule rule;
  rule.action_mask = 0x7e;
  rule.forward.to = "carol@example.test;";
  rule.backup_dir = target.path().string();
  rule.reply.subject = "Re: #S#";
  rule.reply.text = "thanks";
  rule.key_info_file = (target / "keys.txt").string();
  rule.key_info_template = "#S#";
  rule.attachment_dir = target.path().string();
  auto mail = processor();
  mail->add_rule(rule);
  mail->run_actions(services);

  ASSERT_TRUE(server.wait_for_mails(2));
  EXPECT_EQ(server.mails()[0].recipients, std::vector<std::string>{"carol@example.test"});
  EXPECT_EQ(server.mails()[1].recipients, std::vector<std::string>{"alice@example.test"});
  std::vector<std::string> operations;
  for (const LogRecord& record : log_records()) {
    EXPECT_TRUE(record.success) << record.operation;
    operations.push_back(record.operation);
  }
  std::vector<std::string> expected;
  for (ActionKind k : {ActionKind::forward, ActionKind::backup, ActionKind::reply, ActionKind::key_info,
                       ActionKind::attachments})
    expected.push_back(action_piece(rule, k).text);
  EXPECT_EQ(operations, expected);
  EXPECT_EQ(deletions.size(), 1u);
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(MailProcessorTest, failedOperationIsLoggedAndShownInTheNotice) {
  auto mail = processor();
  mail->log_operation(services, "转发给x", false);
  mail->log_operation(services, "ok", true);
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].account, "me@home.test");
  EXPECT_EQ(records[0].sender, "\"Alice Liddell\" <alice@example.test>");
  EXPECT_EQ(records[0].recipients, "bob@example.test");
  EXPECT_EQ(records[0].subject, "Order 42");
  EXPECT_EQ(records[0].operation, "转发给x");
  EXPECT_FALSE(records[0].success);
  EXPECT_TRUE(records[1].success);
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0].title, res::text(sid::kErrorTitle));
  EXPECT_EQ(host.notices[0].message, "me@home.test\r\n" + res::text(sid::kOperationFailed) + "\r\n\"转发给x\"");
}

}  // namespace
}  // namespace pw::test
