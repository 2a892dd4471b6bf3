// `pelliwick --check-once` against a Dovecot that speaks only TLS (995) and an
// aiosmtpd that requires STARTTLS, with the test CA known to the program only
// through SSL_CERT_FILE.
#include <cstdlib>
#include <memory>

#include "e2e_fixture.h"
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
  EXPECT_NE(records[0].operation.find(res::text(62200) + "pop.example.test"), std::string::npos)
      << records[0].operation;
  EXPECT_EQ(pop.log().find("Login:"), std::string::npos) << pop.log();
}

}  // namespace
}  // namespace pw::test
