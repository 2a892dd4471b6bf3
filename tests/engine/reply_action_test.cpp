// Reply: composed from the rule's templates or taken from a file, sent to the
// sender through the account's server or directly to the sender's exchangers.
#include "engine/reply_action.h"

#include "action_fixture.h"
#include "base/code_page.h"
#include "mail/base64.h"
#include "res/string_table.h"
#include "support/dns_server.h"

namespace pw::test {
namespace {

class ReplyActionTest : public ActionFixture {
 protected:
  ReplyActionTest() {
    if (server.running()) {
      MailboxRecord r = account.record();
      r.smtp_server = server.field();
      account.set_record(r);
    }
  }
  // Replies with `rule` and returns whether the rule's flag stayed set.
  bool run(const Rule& rule, std::string_view mail = kPlainMail) {
    auto p = processor(mail);
    p->add_rule(rule);
    p->add_capture(rule, 1, "A-77");
    std::vector<uint8_t> success(1, 1);
    ReplyAction(*p, services).run_step(success);
    return success[0] == 1;
  }
  static Rule reply_rule() {
    Rule r;
    r.action_mask = bit(ActionKind::reply);
    r.reply.subject = "Re: #S#";
    r.reply.text = "Dear #N#, your order #1# ships today.";
    return r;
  }
  void expect_logged(bool success) {
    const std::vector<LogRecord> records = log_records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].success, success);
  }

  SmtpServer server;
};

TEST_F(ReplyActionTest, composedReplyCarriesTheFullSenderButGoesToTheBareAddress) {
  ASSERT_TRUE(server.running()) << server.log();
  EXPECT_TRUE(run(reply_rule()));
  ASSERT_TRUE(server.wait_for_mails(1));
  const ReceivedMail m = server.mails()[0];
  EXPECT_EQ(m.mail_from, "me@home.test");
  EXPECT_EQ(m.recipients, std::vector<std::string>{"alice@example.test"});
  EXPECT_TRUE(m.data.starts_with("From: me@home.test\r\nTo: \"Alice Liddell\" <alice@example.test>\r\n"
                                 "Subject: Re: Order 42\r\n"))
      << m.data;
  EXPECT_NE(m.data.find(base64_encode_lines("Dear AliceLiddell, your order A-77 ships today.")), std::string::npos);
  expect_logged(true);
  EXPECT_EQ(log_records()[0].operation, utf8_to_gb("自动回复邮件主题为\"Re: #S#\""));
}

TEST_F(ReplyActionTest, senderWrittenWithACommentIsRepliedToAtItsAddress) {
  ASSERT_TRUE(server.running()) << server.log();
  EXPECT_TRUE(run(reply_rule(), "From: bbb@example.test (John X. Doe)\r\nSubject: Order 42\r\n\r\nhi\r\n"));
  ASSERT_TRUE(server.wait_for_mails(1));
  const ReceivedMail m = server.mails()[0];
  EXPECT_EQ(m.recipients, std::vector<std::string>{"bbb@example.test"});
  EXPECT_NE(m.data.find(base64_encode_lines("Dear JohnX.Doe, your order A-77 ships today.")), std::string::npos);
  expect_logged(true);
}

TEST_F(ReplyActionTest, composedReplyJoinsTheThreadAndSaysItIsAutomatic) {
  ASSERT_TRUE(server.running()) << server.log();
  const std::string mail = "From: alice@example.test\r\nSubject: Order 43\r\nReferences: <0@example.test>\r\n"
                           "Message-ID:\r\n <43@example.test>\r\n\r\nbody\r\n";
  EXPECT_TRUE(run(reply_rule(), mail));
  ASSERT_TRUE(server.wait_for_mails(1));
  const std::string data = server.mails()[0].data;
  EXPECT_NE(data.find("\r\nIn-Reply-To: <43@example.test>\r\nReferences: <0@example.test>\r\n <43@example.test>\r\n"
                      "Auto-Submitted: auto-replied\r\n"),
            std::string::npos)
      << data;
  EXPECT_NE(data.find("\r\nMessage-ID: <"), std::string::npos) << data;
}

// A reply file goes out as it stands, with the automatic reply's header in
// front unless the file has one of its own.
TEST_F(ReplyActionTest, replyFromFileIsSentAsItStandsSayingItIsAutomatic) {
  ASSERT_TRUE(server.running()) << server.log();
  const struct {
    const char* name;
    std::string file;
    std::string sent;
  } cases[] = {
      {"plain", "From: me@home.test\r\nSubject: away\r\n\r\n.I am away\r\n",
       "Auto-Submitted: auto-replied\r\nFrom: me@home.test\r\nSubject: away\r\n\r\n.I am away\r\n"},
      {"field in the body only", "Subject: away\r\n\r\nAuto-Submitted: no\r\n",
       "Auto-Submitted: auto-replied\r\nSubject: away\r\n\r\nAuto-Submitted: no\r\n"},
      {"own field", "Subject: away\r\nauto-submitted: auto-generated\r\n\r\nx\r\n",
       "Subject: away\r\nauto-submitted: auto-generated\r\n\r\nx\r\n"},
  };
  for (const auto& c : cases) {
    dir.write("away.eml", c.file);
    Rule rule = reply_rule();
    rule.reply.from_file = true;
    rule.reply.file = (dir / "away.eml").string();
    EXPECT_TRUE(run(rule)) << c.name;
  }
  ASSERT_TRUE(server.wait_for_mails(std::size(cases)));
  for (size_t k = 0; k < std::size(cases); ++k) EXPECT_EQ(server.mails()[k].data, cases[k].sent) << cases[k].name;
}

TEST_F(ReplyActionTest, unreadableReplyFileFailsWithoutSending) {
  ASSERT_TRUE(server.running()) << server.log();
  for (std::string path : {(dir / "missing.eml").string(), dir.path().string()}) {
    Rule rule = reply_rule();
    rule.reply.from_file = true;
    rule.reply.file = path;
    EXPECT_FALSE(run(rule)) << path;
  }
  EXPECT_TRUE(server.mails().empty());
  EXPECT_EQ(log_records().size(), 2u);
  EXPECT_FALSE(log_records()[0].success);
}

TEST_F(ReplyActionTest, missingAttachmentAsksWhetherToGoOn) {
  ASSERT_TRUE(server.running()) << server.log();
  dir.write("price list.txt", "prices");
  Rule rule = reply_rule();
  const std::string missing = (dir / "gone.pdf").string();
  rule.reply.attachments = {missing, (dir / "price list.txt").string()};

  host.answers = {false};
  EXPECT_FALSE(run(rule));
  EXPECT_TRUE(server.mails().empty());
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], missing + "\r\n" + res::text(sid::kAskReplyWithoutAttachment));

  host.answers = {true};
  EXPECT_TRUE(run(rule));
  ASSERT_TRUE(server.wait_for_mails(1));
  const std::string data = server.mails()[0].data;
  EXPECT_NE(data.find("filename=\"price list.txt\""), std::string::npos);
  EXPECT_EQ(data.find("gone.pdf"), std::string::npos);
  EXPECT_NE(data.find(base64_encode_lines("prices")), std::string::npos);
  ASSERT_EQ(log_records().size(), 2u);
  EXPECT_FALSE(log_records()[0].success);
  EXPECT_TRUE(log_records()[1].success);
}

// Through the exchangers when the account's server fails (after the notice)
// or when the account has none (without it).
TEST_F(ReplyActionTest, directDeliveryWhenTheAccountCannotSend) {
  DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServer mx(exchanger("127.0.0.2"));
  ASSERT_TRUE(mx.running()) << mx.log();
  struct Case {
    std::string smtp_server;
    bool notice;
  } cases[] = {{"127.0.0.1:1", true}, {"", false}};
  size_t sent = 0;
  for (const Case& c : cases) {
    host.notices.clear();
    MailboxRecord r = account.record();
    r.smtp_server = c.smtp_server;
    account.set_record(r);
    EXPECT_TRUE(run(reply_rule()));
    ASSERT_TRUE(mx.wait_for_mails(++sent));
    EXPECT_EQ(mx.mails().back().recipients, std::vector<std::string>{"alice@example.test"});
    if (c.notice) {
      ASSERT_EQ(host.notices.size(), 1u);
      EXPECT_EQ(host.notices[0].message, res::text(sid::kTryingDirectDelivery));
    } else {
      EXPECT_TRUE(host.notices.empty());
    }
  }
}

// An account that requires TLS never replies through an exchanger, which
// cannot prove its name: the notice and the log say so.
TEST_F(ReplyActionTest, noDirectDeliveryWhenTheAccountRequiresTls) {
  DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServer mx(exchanger("127.0.0.2"));
  ASSERT_TRUE(mx.running()) << mx.log();
  MailboxRecord r = account.record();
  r.smtp_server = "127.0.0.1:1";
  r.require_tls = true;
  account.set_record(r);
  EXPECT_FALSE(run(reply_rule()));
  ASSERT_EQ(host.notices.size(), 2u);  // the sending's, then the failed action's
  EXPECT_EQ(host.notices[0].message, res::text(sid::kSendFailed) + "\r\n" + res::text(sid::kUnreachableButTlsRequired));
  expect_logged(false);
  EXPECT_NE(log_records()[0].operation.find(res::text(sid::kUnreachableButTlsRequired)), std::string::npos);
  EXPECT_TRUE(mx.mails().empty());
}

TEST_F(ReplyActionTest, extraReplyIsUsedAsTyped) {
  ASSERT_TRUE(server.running()) << server.log();
  auto p = processor();
  p->extra().operations = ExtraOperations::kReply;
  p->extra().reply.subject = "About #S#";
  p->extra().reply.text = "typed";
  std::vector<uint8_t> none;
  ReplyAction(*p, services).run_step(none);
  ASSERT_TRUE(server.wait_for_mails(1));
  EXPECT_NE(server.mails()[0].data.find("Subject: About #S#\r\n"), std::string::npos);
  expect_logged(true);
  EXPECT_EQ(log_records()[0].operation, res::text(sid::kOneOffReply));
}

}  // namespace
}  // namespace pw::test

namespace pw::test {
namespace {

// RFC 3834 section 2: automatic replies to automatic mail would answer each
// other at every interval.
TEST_F(ReplyActionTest, noAutomaticReplyToAutomaticListOrOwnMailAndTheLogSaysWhy) {
  ASSERT_TRUE(server.running()) << server.log();
  struct Case {
    std::string headers;
    int reason;  // 0: a reply goes
  };
  const Case cases[] = {
      {"From: alice@example.test\r\nAuto-Submitted: auto-replied\r\n", sid::kAutoSubmitted},
      {"From: alice@example.test\r\nAUTO-SUBMITTED: Auto-Generated; x\r\n", sid::kAutoSubmitted},
      {"From: alice@example.test\r\nAuto-Submitted: no\r\n", 0},
      {"From: alice@example.test\r\nPrecedence: bulk\r\n", sid::kListMail},
      {"From: alice@example.test\r\nPrecedence: junk\r\n", sid::kListMail},
      {"From: alice@example.test\r\nPrecedence: List\r\n", sid::kListMail},
      {"From: alice@example.test\r\nPrecedence: first-class\r\n", 0},
      {"From: alice@example.test\r\nList-Id: <news.example.test>\r\n", sid::kListMail},
      {"Return-Path: <>\r\nFrom: alice@example.test\r\n", sid::kBounce},
      {"Return-Path: <alice@example.test>\r\nFrom: alice@example.test\r\n", 0},
      {"From: Mail Delivery <MAILER-DAEMON@relay.example.test>\r\n", sid::kBounce},
      {"From: Me <ME@home.test>\r\n", sid::kOwnMail},
  };
  Rule rule = reply_rule();
  size_t sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    const size_t logged = log_records().size();
    auto p = processor(c.headers + "Subject: hi\r\n\r\nList-Id: in the body is no header\r\n");
    p->add_rule(rule);
    std::vector<uint8_t> success(1, 1);
    ReplyAction(*p, services).run_step(success);
    if (c.reason == 0) ++sent;
    ASSERT_EQ(log_records().size(), logged + 1);
    const LogRecord record = log_records().back();
    EXPECT_TRUE(record.success);
    EXPECT_EQ(success[0], 1) << "a skipped reply is no failure of the rule";
    if (c.reason != 0) EXPECT_TRUE(record.operation.ends_with(res::text(c.reason))) << gb_to_utf8(record.operation);
  }
  ASSERT_TRUE(server.wait_for_mails(sent));
  EXPECT_EQ(server.mails().size(), sent);
}

}  // namespace
}  // namespace pw::test
