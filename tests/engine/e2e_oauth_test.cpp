// `pelliwick --check-once` for a mailbox that signs in with OAuth 2.0: Dovecot
// (POP3 over TLS) and aiosmtpd (STARTTLS) validate the tokens at the fake
// authorization server, which issues, refreshes, rotates and revokes them.
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "base/code_page.h"
#include "e2e_fixture.h"
#include "engine/oauth_access.h"
#include "res/string_table.h"
#include "stores/oauth_store.h"
#include "support/oauth_server.h"
#include "support/test_ca.h"

namespace pw::test {
namespace {

class CheckOnceWithOAuth : public EndToEndFixture {
 protected:
  void SetUp() override {
    if (pelliwick_program().empty()) GTEST_SKIP() << "this build has no pelliwick program";
    ASSERT_TRUE(auth->running()) << auth->log();
    ASSERT_TRUE(ca.ok()) << ca.error();
    ASSERT_TRUE(dns.running()) << dns.log();
    TestCa::Issued pop_cert = ca.issue("pop.example.test");
    pop.set_tls({DovecotServer::Tls::Mode::implicit, "127.0.0.10", 995, pop_cert.cert, pop_cert.key});
    pop.set_oauth(auth->url("/introspect"));
    TestCa::Issued smtp_cert = ca.issue("smtp.example.test");
    tls_smtp = std::make_unique<SmtpServer>(SmtpServerOptions()
                                                .on("127.0.0.11", 587)
                                                .with_login("me", "smtp-secret")
                                                .with_oauth(auth->url("/introspect"))
                                                .with_tls(smtp_cert.cert, smtp_cert.key, false));
    ASSERT_TRUE(tls_smtp->running()) << tls_smtp->log();
    EndToEndFixture::SetUp();
    ::setenv("SSL_CERT_FILE", ca.pem().c_str(), 1);  // the program inherits it
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  MailboxRecord oauth_account() const {
    MailboxRecord r = alice();
    r.pop_server = "pop.example.test:995";
    r.smtp_server = "smtp.example.test:587";
    r.password.clear();
    r.smtp_login_name = "alice";
    r.smtp_password.clear();
    r.require_tls = true;
    r.sign_in = MailboxRecord::SignIn::custom;
    return r;
  }

  // Signed in, a forwarding and deleting rule, `mails` mails waiting.
  void signed_in_with_mail(int mails) {
    write_data(oauth_account(), {rule(0x02 | 0x40, false)});
    ASSERT_TRUE(auth->sign_in(program, "alice@home.test"));
    for (int k = 1; k <= mails; ++k) pop.deliver("alice", e2e_mail(k));
  }

  OAuthMailbox tokens() const { return OAuthStore(program).load().mailboxes["alice@home.test"]; }
  // The token file says the access token has run out.
  void expire_locally() {
    ASSERT_TRUE(OAuthStore(program).update([](OAuthFile& f) { f.mailboxes["alice@home.test"].expires_at = 1; }));
  }

  int check_once_traced() {
    ProgramRun run(pelliwick_program(),
                   {"--check-once", "--data-dir", dir.path().string(), "--trace", (dir.path() / "trace.txt").string()},
                   dir.path() / "stderr.txt");
    return run.wait();
  }
  std::string failure_reason() const {
    for (const LogRecord& rec : log_records())
      if (!rec.success) return gb_to_utf8(rec.operation);
    return {};
  }

  std::unique_ptr<OAuthServer> auth = std::make_unique<OAuthServer>(OAuthServer::Options{.rotate = true});
  TestCa ca;
  DnsServer dns{{}, {{"pop.example.test", "127.0.0.10"}, {"smtp.example.test", "127.0.0.11"}}};
  std::unique_ptr<SmtpServer> tls_smtp;
};

TEST_F(CheckOnceWithOAuth, checksAndForwardsWithTokensAndNoTokenReachesTraceOrStderr) {
  signed_in_with_mail(2);
  const OAuthMailbox before = tokens();

  ASSERT_EQ(check_once_traced(), 0) << stderr_text() << pop.log() << failure_reason();

  ASSERT_TRUE(tls_smtp->wait_for_mails(2));
  for (const ReceivedMail& m : tls_smtp->mails()) {
    EXPECT_TRUE(m.tls);
    EXPECT_EQ(m.login, "alice");
  }
  EXPECT_EQ(pop.message_count("alice"), 0u);
  EXPECT_NE(pop.log().find("method=OAUTHBEARER"), std::string::npos) << pop.log();
  EXPECT_EQ(auth->stat("refreshes"), 0);  // the stored token was still good
  const std::string trace = read_file(dir.path() / "trace.txt").value_or("");
  EXPECT_NE(trace.find("AUTH "), std::string::npos) << trace;
  for (const std::string& secret : {before.access_token, before.refresh_token}) {
    EXPECT_EQ(trace.find(secret), std::string::npos);
    EXPECT_EQ(stderr_text().find(secret), std::string::npos);
  }
  struct stat st {};
  ASSERT_EQ(::stat(OAuthStore(program).path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Expired in the file (refreshed before use) or only at the server (refused,
// refreshed, tried again): either way the check goes through, and the
// rotated refresh token is what the file keeps.
TEST_F(CheckOnceWithOAuth, expiredAccessTokenIsRefreshedAndTheRotatedRefreshTokenKept) {
  for (bool at_server : {false, true}) {
    SCOPED_TRACE(at_server ? "refused by the server" : "expired in the file");
    signed_in_with_mail(1);
    const OAuthMailbox before = tokens();
    const int refreshes = auth->stat("refreshes");
    if (at_server) {
      ASSERT_TRUE(auth->control("expire"));
    } else {
      expire_locally();
    }
    ASSERT_EQ(check_once(), 0) << stderr_text() << failure_reason();
    EXPECT_EQ(pop.message_count("alice"), 0u);
    EXPECT_EQ(auth->stat("refreshes"), refreshes + 1);
    const OAuthMailbox after = tokens();
    EXPECT_NE(after.access_token, before.access_token);
    EXPECT_NE(after.refresh_token, before.refresh_token);
    EXPECT_GT(after.expires_at, static_cast<int64_t>(std::time(nullptr)) + 3000);
  }
  // The kept token is the live one: the next refresh works with it.
  expire_locally();
  pop.deliver("alice", e2e_mail(9));
  EXPECT_EQ(check_once(), 0) << failure_reason();
}

TEST_F(CheckOnceWithOAuth, revokedGrantFailsWithSignInAgainAndMarksTheMailbox) {
  signed_in_with_mail(1);
  ASSERT_TRUE(auth->control("revoke"));
  expire_locally();

  EXPECT_NE(check_once(), 0);
  EXPECT_EQ(pop.message_count("alice"), 1u);
  EXPECT_NE(failure_reason().find("请在窗口中重新登录"), std::string::npos) << failure_reason();
  EXPECT_NE(failure_reason().find("invalid_grant"), std::string::npos) << failure_reason();
  EXPECT_TRUE(OAuthAccess::needs_sign_in(OAuthStore(program).load(), "alice@home.test"));
}

// The token endpoint down: the OAuth mailbox fails with the reason, the
// password mailbox beside it is checked as always, and nothing is marked.
TEST_F(CheckOnceWithOAuth, tokenEndpointDownFailsOnlyThatMailbox) {
  ASSERT_TRUE(pop.running());
  Rule r = rule(0x40);
  RuleStore rules;
  rules.add(r);
  ASSERT_TRUE(rules.save(program).ok);
  MailboxList list(program);
  MailboxRecord password = oauth_account();
  password.address = "bob@home.test";
  password.sign_in = MailboxRecord::SignIn::password;
  password.password = "secret";
  password.login_name = "alice";  // the same inbox, read with the password
  password.smtp_password = "x";
  for (const MailboxRecord& a : {oauth_account(), password}) ASSERT_TRUE(list.bind(*list.create(a, false), r.id));
  ASSERT_TRUE(list.save().ok);
  ASSERT_TRUE(auth->sign_in(program, "alice@home.test"));
  expire_locally();
  auth->stop();
  pop.deliver("alice", e2e_mail(1));

  EXPECT_NE(check_once(), 0);
  EXPECT_EQ(pop.message_count("alice"), 0u);  // deleted through the password mailbox
  EXPECT_NE(failure_reason().find(res::text_utf8(sid::kTokenServerUnreachable)), std::string::npos) << failure_reason();
  EXPECT_FALSE(OAuthAccess::needs_sign_in(OAuthStore(program).load(), "alice@home.test"));
}

}  // namespace
}  // namespace pw::test
