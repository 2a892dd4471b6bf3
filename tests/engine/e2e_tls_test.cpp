// `pelliwick --check-once` against a Dovecot that speaks only TLS (995) and an
// aiosmtpd that requires STARTTLS, with the test CA known to the program only
// through SSL_CERT_FILE.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "check_run_fixture.h"
#include "e2e_fixture.h"
#include "engine/check_once.h"
#include "res/string_table.h"
#include "support/test_ca.h"

namespace pw::test {
namespace {

class CheckOnceOverTls : public EndToEndFixture {
 protected:
  void SetUp() override {
    if (pelliwick_program().empty()) GTEST_SKIP() << "this build has no pelliwick program";
    ASSERT_TRUE(ca.ok()) << ca.error();
    ASSERT_TRUE(dns.running()) << dns.log();
    TestCa::Issued pop_cert = ca.issue("pop.example.test");
    pop.set_tls({DovecotServer::Tls::Mode::implicit, "127.0.0.10", 995, pop_cert.cert, pop_cert.key});
    TestCa::Issued smtp_cert = ca.issue("smtp.example.test");
    tls_smtp = std::make_unique<SmtpServer>(
        SmtpServerOptions().on("127.0.0.11", 587).with_login("me", "smtp-secret").with_tls(smtp_cert.cert,
                                                                                            smtp_cert.key, false));
    ASSERT_TRUE(tls_smtp->running()) << tls_smtp->log();
    EndToEndFixture::SetUp();
    ::setenv("SSL_CERT_FILE", ca.pem().c_str(), 1);  // the program inherits it
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  TestCa ca;
  DnsServer dns{{}, {{"pop.example.test", "127.0.0.10"}, {"smtp.example.test", "127.0.0.11"}}};
  std::unique_ptr<SmtpServer> tls_smtp;
};

TEST_F(CheckOnceOverTls, forwardsAndDeletesThroughTlsOnlyServers) {
  Rule r = rule(0x02 | 0x40, false);  // forward, delete
  MailboxRecord account = alice();
  account.pop_server = "pop.example.test:995";
  account.smtp_server = "smtp.example.test:587";
  account.require_tls = true;
  write_data(account, {r});
  for (int k = 1; k <= 2; ++k) pop.deliver("alice", e2e_mail(k));

  ASSERT_EQ(check_once(), 0) << stderr_text() << pop.log();

  ASSERT_TRUE(tls_smtp->wait_for_mails(2));
  for (const ReceivedMail& m : tls_smtp->mails()) {
    EXPECT_TRUE(m.tls);
    EXPECT_EQ(m.login, "me");
    EXPECT_EQ(m.recipients, std::vector<std::string>{kFriend});
  }
  EXPECT_EQ(pop.message_count("alice"), 0u);
  for (const LogRecord& rec : log_records()) EXPECT_TRUE(rec.success) << rec.operation;
  EXPECT_NE(pop.log().find(", TLS"), std::string::npos);
}

// Without the CA the check fails on the certificate, says so, and sends no
// password.
TEST_F(CheckOnceOverTls, untrustedServerFailsTheCheckWithItsReason) {
  ::unsetenv("SSL_CERT_FILE");
  MailboxRecord account = alice();
  account.pop_server = "pop.example.test:995";
  write_data(account, {rule(0x40)});
  pop.deliver("alice", e2e_mail(1));

  EXPECT_NE(check_once(), 0);
  EXPECT_EQ(pop.message_count("alice"), 1u);
  std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_FALSE(records[0].success);
  EXPECT_NE(records[0].operation.find(res::text(sid::kUntrusted) + "pop.example.test"), std::string::npos)
      << records[0].operation;
  EXPECT_EQ(pop.log().find("Login:"), std::string::npos) << pop.log();
}

// The headless check in this process, against a Dovecot that offers STLS on
// 110 and allows no plaintext log-in.
class CheckOnceTlsSeen : public EndToEndFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ca.ok()) << ca.error();
    ASSERT_TRUE(dns.running()) << dns.log();
    TestCa::Issued cert = ca.issue("pop.example.test");
    pop.set_tls({DovecotServer::Tls::Mode::stls, "127.0.0.10", 110, cert.cert, cert.key});
    EndToEndFixture::SetUp();
    ::setenv("SSL_CERT_FILE", ca.pem().c_str(), 1);
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  int check(const std::function<std::unique_ptr<ByteStream>()>& stream = {}, std::FILE* out = nullptr) {
    CheckOnceOptions options;
    options.out = out;
    options.pop3_stream = stream;
    return run_check_once(program, options);
  }
  std::string mailbox_file() const { return read_file(program.file("Mailbox")).value_or(""); }

  TestCa ca;
  DnsServer dns{{}, {{"pop.example.test", "127.0.0.10"}}};
};

// An account that does not require TLS meets a server that offers it: the
// check upgrades and marks the account in "Mailbox" (that one bit). From then
// on a server without STLS (someone on the path strips it) is refused as a
// downgrade, before any user name goes out.
TEST_F(CheckOnceTlsSeen, serverOnceSeenOverTlsIsRefusedWhenItStopsOfferingIt) {
  MailboxRecord account = alice();
  account.pop_server = "pop.example.test:110";
  write_data(account, {rule(0x08, false)});
  pop.deliver("alice", e2e_mail(1));
  std::string expected = mailbox_file();
  ASSERT_EQ(static_cast<int>(expected[581]), 0);

  ASSERT_EQ(check(), 0) << pop.log();
  EXPECT_NE(pop.log().find(", TLS"), std::string::npos) << pop.log();
  expected[581] = 0x02;
  EXPECT_EQ(mailbox_file(), expected);
  const size_t logged = log_records().size();

  ScriptedPeer stripped;
  stripped.server("+OK ready\r\n").client("CAPA\r\n").server("+OK\r\nTOP\r\nUIDL\r\nUSER\r\n.\r\n");
  std::vector<size_t> sizes;
  EXPECT_EQ(check([&] { return std::make_unique<PeerStream>(stripped, sizes); }), 1);
  EXPECT_TRUE(stripped.done());
  EXPECT_EQ(stripped.written(), "CAPA\r\n");
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), logged + 1);
  EXPECT_FALSE(records.back().success);
  EXPECT_NE(records.back().operation.find(res::text(sid::kDowngrade) + "pop.example.test"), std::string::npos)
      << records.back().operation;
  EXPECT_EQ(mailbox_file(), expected);
}

// A mark that cannot be written is said (terminal and log) but does not fail
// the check: the next check that meets TLS marks the account again. Here the
// file ends inside an entry, which the field-by-field write refuses to touch.
TEST_F(CheckOnceTlsSeen, markThatCannotBeWrittenIsReportedAndTheCheckStillSucceeds) {
  MailboxRecord account = alice();
  account.pop_server = "pop.example.test:110";
  write_data(account, {rule(0x08, false)});
  pop.deliver("alice", e2e_mail(1));
  const std::string damaged = mailbox_file() + "xyz";
  ASSERT_TRUE(write_file_atomic(program.file("Mailbox"), damaged));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);

  EXPECT_EQ(check({}, out), 0) << pop.log();

  std::rewind(out);
  std::string said(4096, '\0');
  said.resize(std::fread(said.data(), 1, said.size(), out));
  std::fclose(out);
  EXPECT_NE(said.find(std::string(res::text_utf8(sid::kTlsSeenNotSaved))), std::string::npos) << said;
  const std::vector<LogRecord> records = log_records();
  ASSERT_FALSE(records.empty());
  EXPECT_FALSE(records.back().success);
  EXPECT_TRUE(records.back().operation.starts_with(res::text(sid::kTlsSeenNotSaved))) << records.back().operation;
  EXPECT_EQ(mailbox_file(), damaged);
  EXPECT_EQ(backup_contents().size(), 1u);  // the mail was acted on
}

}  // namespace
}  // namespace pw::test
