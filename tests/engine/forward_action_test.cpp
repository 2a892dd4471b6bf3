// Forward: the changed-header form, and forwarding through a real SMTP server
// with the fall-back to direct delivery through a real DNS server.
#include "engine/forward_action.h"

#include "action_fixture.h"
#include "base/code_page.h"
#include "res/string_table.h"
#include "support/dns_server.h"
#include "support/smtp_server.h"
#include "support/test_ca.h"

namespace pw::test {
namespace {

constexpr std::string_view kNew = "From: S\r\nTo: R\r\nSubject: J\r\nDate: NOW";

TEST(ChangedHeaderForm, replacesTheLeadingHeadersAndDropsTheOldDate) {
  struct Case {
    const char* name;
    std::string mail;
    std::string after_new;  // what follows the four new lines
  } cases[] = {
      {"plain order", "From: a\r\nTo: b\r\nSubject: c\r\nDate: d\r\nMIME-Version: 1.0\r\n\r\nbody\r\n",
       "\r\nMIME-Version: 1.0\r\n\r\nbody\r\n"},
      {"received lines go, cc goes, x-mailer stays",
       "Received: r\r\nFrom: a\r\nTo: b\r\nSubject: c\r\nCc: e\r\nX-Mailer: m\r\nDate: d\r\nX-After: 1\r\n\r\nbody",
       "\r\nX-Mailer: m\r\nX-After: 1\r\n\r\nbody"},
      {"address list over two lines", "From: a\r\nTo: b,\r\n  c\r\nX-1: 1\r\nDate: d\r\n\r\nbody",
       "\r\nX-1: 1\r\n\r\nbody"},
      {"lf line ends", "From: a\nSubject: c\nX-1: 1\nDate: d\nX-2: 2\n\nbody", "\nX-1: 1\nX-2: 2\n\nbody"},
      // The mail's Date line before the others, or none: its headers after
      // the last of the four and its body are kept, not dropped.
      {"date first", "Date: d\r\nFrom: a\r\nSubject: c\r\nX-1: 1\r\n\r\nbody", "\r\nX-1: 1\r\n\r\nbody"},
      {"no date", "From: a\r\nTo: b\r\nX-1: 1\r\n\r\nbody", "\r\nX-1: 1\r\n\r\nbody"},
      {"none of the four", "X-1: 1\r\nDate: d\r\nX-2: 2\r\n\r\nbody", "\r\nX-1: 1\r\nX-2: 2\r\n\r\nbody"},
      // Lines of the body are not headers.
      {"header words in the body", "From: a\r\nSubject: c\r\nX-1: 1\r\nDate: d\r\n\r\nto: all\r\ndate: never\r\n",
       "\r\nX-1: 1\r\n\r\nto: all\r\ndate: never\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ForwardAction::changed_header_form("S", "R", "J", "NOW", c.mail), std::string(kNew) + c.after_new)
        << c.name;
  }
}

TEST(ChangedHeaderForm, newValuesCannotAddHeaderLines) {
  const std::string out = ForwardAction::changed_header_form("S\r\nBcc: x", "R", "J", "NOW", "From: a\r\n\r\nb");
  EXPECT_EQ(out.find("\r\nBcc:"), std::string::npos);
}

class ForwardActionTest : public ActionFixture {
 protected:
  // Forwards `mail` with `rule` and returns whether the rule's flag stayed set.
  bool run(const Rule& rule, std::string_view mail = kPlainMail) {
    auto p = processor(mail);
    p->add_rule(rule);
    std::vector<uint8_t> success(1, 1);
    ForwardAction(*p, services).run_step(success);
    return success[0] == 1;
  }
  void use_server(const SmtpServer& server) {
    MailboxRecord r = account.record();
    r.smtp_server = server.field();
    account.set_record(r);
  }
  static Rule forward_rule(std::string list) {
    Rule r;
    r.action_mask = bit(ActionKind::forward);
    r.forward.to = std::move(list);
    return r;
  }
};

TEST_F(ForwardActionTest, unchangedForwardIsByteIdentical) {
  SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  use_server(server);
  EXPECT_TRUE(run(forward_rule("carol@example.test;dave@example.test;")));
  ASSERT_TRUE(server.wait_for_mails(1));
  const ReceivedMail m = server.mails()[0];
  EXPECT_EQ(m.data, kPlainMail);
  EXPECT_EQ(m.mail_from, "me@home.test");
  EXPECT_EQ(m.recipients, (std::vector<std::string>{"carol@example.test", "dave@example.test"}));
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].success);
  EXPECT_EQ(records[0].operation, utf8_to_gb("转发给carol@example.test和dave@example.test"));
  EXPECT_TRUE(host.notices.empty());
}

// SMTP knows only CR LF as a line end: a mail's bare CR or LF reaches the
// server as CR LF, dot-stuffing still applied, every other byte as it was.
TEST_F(ForwardActionTest, bareLineEndsGoOutAsCrLf) {
  SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  use_server(server);
  const std::string mail = "From: alice@example.test\rSubject: mixed\n\r\nline one\rline two\n.dot\r.dot2\r\n\tend";
  EXPECT_TRUE(run(forward_rule("carol@example.test;"), mail));
  ASSERT_TRUE(server.wait_for_mails(1));
  EXPECT_EQ(server.mails()[0].data,
            "From: alice@example.test\r\nSubject: mixed\r\n\r\nline one\r\nline two\r\n.dot\r\n.dot2\r\n\tend\r\n");
}

TEST_F(ForwardActionTest, changedHeadersAndARefusedRecipient) {
  SmtpServerOptions refusing;
  refusing.refused = {"dave@example.test"};
  SmtpServer server(refusing);
  ASSERT_TRUE(server.running()) << server.log();
  use_server(server);
  Rule rule = forward_rule("carol@example.test;dave@example.test;");
  rule.forward.change_headers = true;
  rule.forward.shown_from = "boss@home.test";
  rule.forward.shown_to = "team@home.test";
  rule.forward.shown_subject = "FYI";
  EXPECT_TRUE(run(rule));
  ASSERT_TRUE(server.wait_for_mails(1));
  const ReceivedMail m = server.mails()[0];
  EXPECT_EQ(m.recipients, std::vector<std::string>{"carol@example.test"});
  EXPECT_EQ(m.data, "From: boss@home.test\r\nTo: team@home.test\r\nSubject: FYI\r\nDate: " +
                        format_mail_date(clock.now()) + "\r\n\r\nHello Bob,\r\n.a line that starts with a dot\r\nbye\r\n");
}

TEST_F(ForwardActionTest, accountServerDownFallsBackToTheExchangers) {
  DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServer mx(exchanger("127.0.0.2"));
  ASSERT_TRUE(mx.running()) << mx.log();
  EXPECT_TRUE(run(forward_rule("carol@example.test;dave@example.test;")));
  ASSERT_TRUE(mx.wait_for_mails(2));
  const std::vector<ReceivedMail> mails = mx.mails();
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"carol@example.test"});
  EXPECT_EQ(mails[1].recipients, std::vector<std::string>{"dave@example.test"});
  EXPECT_EQ(mails[0].data, kPlainMail);
  EXPECT_EQ(mails[0].mail_from, "me@home.test");
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_TRUE(log_records()[0].success);
}

// The exchangers get the mail only when the account's server cannot be
// reached and the account does not require TLS. After a certificate that does
// not verify, or a refusal, the mail stays unsent and the log says why.
TEST_F(ForwardActionTest, directDeliveryOnlyWhenTheServerCannotBeReachedWithoutTls) {
  TestCa ca;
  ASSERT_TRUE(ca.ok()) << ca.error();
  const TestCa::Issued cert = ca.issue("smtp.example.test");  // the CA is not trusted
  DnsServer dns({{"example.test", "mx1.example.test", 10}},
                {{"mx1.example.test", "127.0.0.2"}, {"smtp.example.test", "127.0.0.11"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServer mx(exchanger("127.0.0.2"));
  SmtpServer untrusted(SmtpServerOptions().on("127.0.0.11", 587).with_tls(cert.cert, cert.key, false));
  SmtpServer refusing(SmtpServerOptions().refusing("carol@example.test"));
  for (const SmtpServer* server : {&mx, &untrusted, &refusing}) ASSERT_TRUE(server->running()) << server->log();
  const std::string not_taken = res::text(sid::kNotTakenNoDirect).substr(0, res::text(sid::kNotTakenNoDirect).find("%1"));
  struct Case {
    const char* what;
    std::string server;
    bool require_tls;
    bool direct;
    std::string note;  // what the failure's log record says
  } cases[] = {
      {"connection refused", "127.0.0.1:1", false, true, ""},
      {"name not found", "smtp.nowhere.invalid", false, true, ""},
      {"connection refused, TLS required", "127.0.0.1:1", true, false, res::text(sid::kUnreachableButTlsRequired)},
      {"certificate not trusted", "smtp.example.test:587", false, false,
       not_taken + res::text(sid::kUntrusted) + "smtp.example.test"},
      {"recipient refused", refusing.field(), false, false, not_taken + "550"},
  };
  size_t delivered = 0;
  for (const Case& c : cases) {
    const size_t logged = log_records().size();
    MailboxRecord r = account.record();
    r.smtp_server = c.server;
    r.require_tls = c.require_tls;
    account.set_record(r);
    EXPECT_EQ(run(forward_rule("carol@example.test;")), c.direct) << c.what;
    if (c.direct) ASSERT_TRUE(mx.wait_for_mails(++delivered)) << c.what;
    const std::vector<LogRecord> records = log_records();
    ASSERT_EQ(records.size(), logged + 1) << c.what;
    EXPECT_EQ(records.back().success, c.direct) << c.what;
    if (!c.note.empty())
      EXPECT_NE(records.back().operation.find(c.note), std::string::npos) << c.what << ": " << records.back().operation;
  }
  EXPECT_EQ(mx.mails().size(), delivered);
  EXPECT_TRUE(untrusted.mails().empty());
  EXPECT_TRUE(refusing.mails().empty());
}

// Every entry must be reached: one entry that no route reaches fails the rule.
TEST_F(ForwardActionTest, anUnreachedEntryFailsTheForward) {
  DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServer mx(exchanger("127.0.0.2"));
  ASSERT_TRUE(mx.running()) << mx.log();
  EXPECT_FALSE(run(forward_rule("carol@example.test;x@nowhere.invalid;dave@example.test;")));
  ASSERT_TRUE(mx.wait_for_mails(2));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_FALSE(log_records()[0].success);
  EXPECT_EQ(host.notices.size(), 1u);
}

TEST_F(ForwardActionTest, emptyListIsAFailure) {
  EXPECT_FALSE(run(forward_rule("")));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_FALSE(log_records()[0].success);
}

TEST_F(ForwardActionTest, extraForwardIsLoggedWithItsOwnText) {
  SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  use_server(server);
  auto p = processor();
  p->extra().operations = ExtraOperations::kForward;
  p->extra().forward.to = "carol@example.test;";
  std::vector<uint8_t> success;
  ForwardAction(*p, services).run_step(success);
  ASSERT_TRUE(server.wait_for_mails(1));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_EQ(log_records()[0].operation, res::text(sid::kOneOffForward) + "carol@example.test;");
  EXPECT_TRUE(log_records()[0].success);
}

}  // namespace
}  // namespace pw::test

namespace pw::test {
namespace {

TEST_F(ForwardActionTest, forwardNeverGoesToTheAccountsOwnAddress) {
  SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  use_server(server);
  EXPECT_TRUE(run(forward_rule("carol@example.test;Me@Home.test;")));
  EXPECT_TRUE(run(forward_rule("me@home.test;")));  // nothing else left: nothing is sent
  ASSERT_TRUE(server.wait_for_mails(1));
  EXPECT_EQ(server.mails().size(), 1u);
  EXPECT_EQ(server.mails()[0].recipients, std::vector<std::string>{"carol@example.test"});
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  for (const LogRecord& r : records) {
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(r.operation.ends_with(res::text(sid::kNotToOwnAddress))) << gb_to_utf8(r.operation);
  }
}

}  // namespace
}  // namespace pw::test
