// TLS against real peers inside the private network namespace: Dovecot with
// implicit TLS on 995 and with STLS on 110, aiosmtpd with STARTTLS and with
// implicit TLS, all with certificates of a throwaway CA that the client
// trusts through SSL_CERT_FILE only. The names resolve through dnsmasq, so
// the certificates are checked against real host names.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "net/smtp_delivery.h"
#include "res/string_table.h"
#include "support/dns_server.h"
#include "support/dovecot_server.h"
#include "support/smtp_server.h"
#include "support/test_ca.h"

namespace pw {
namespace {

using namespace std::chrono_literals;
using Mode = test::DovecotServer::Tls::Mode;

const std::string kMail = "From: a@example.test\nSubject: over TLS\n\nsecret words\n";
const std::string kMessage = "From: me@example.test\r\nSubject: hi\r\n\r\n.dot line\r\nbody\r\n";

bool has_line(const std::vector<std::string>& trace, std::string_view prefix) {
  for (const std::string& line : trace)
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

class TlsPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ca.ok()) << ca.error();
    ASSERT_TRUE(dns.running()) << dns.log();
    trust(ca);
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  static void trust(const test::TestCa& authority) { ::setenv("SSL_CERT_FILE", authority.pem().c_str(), 1); }

  // A Dovecot on 127.0.0.10 with the certificate of pop.example.test.
  void start_pop(Mode mode, int port) {
    test::TestCa::Issued cert = ca.issue("pop.example.test");
    pop_server.set_tls({mode, "127.0.0.10", port, cert.cert, cert.key});
    if (pop_server.message_count("alice") == 0) pop_server.deliver("alice", kMail);
    ASSERT_TRUE(pop_server.start({{"alice", "secret"}})) << pop_server.error();
  }

  Pop3Session& traced(Pop3Session& pop) {
    pop.set_trace([this](std::string_view line) { trace.emplace_back(line); });
    return pop;
  }

  test::TestCa ca;
  test::DnsServer dns{{},
                      {{"pop.example.test", "127.0.0.10"},
                       {"other.example.test", "127.0.0.10"},
                       {"smtp.example.test", "127.0.0.11"}}};
  test::DovecotServer pop_server;
  LineSocket socket{5s};
  std::vector<std::string> trace;
};

// Implicit TLS on 995 and STLS on 110 both log in encrypted (Dovecot refuses
// plaintext log-ins) and fetch the mail byte for byte.
TEST_F(TlsPeers, pop3LogsInOverVerifiedTls) {
  for (auto [mode, port] : {std::pair{Mode::implicit, 995}, std::pair{Mode::stls, 110}}) {
    SCOPED_TRACE(port);
    trace.clear();
    // One log-in process for every connection, so that it can resume the
    // sessions it issued.
    pop_server.set_reused_logins(true);
    start_pop(mode, port);
    Pop3Session pop(socket);
    traced(pop);
    ASSERT_EQ(pop.log_in("pop.example.test:" + std::to_string(port), "alice", "secret"), 1) << pop.error_text();
    EXPECT_TRUE(pop.secured());
    ASSERT_EQ(pop.uidl_all(), 1) << pop.error_text();
    ASSERT_EQ(pop.message_count(), 1);
    int r = pop.retr(1);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    ASSERT_EQ(r, Pop3Session::kComplete) << pop.error_text();
    EXPECT_EQ(pop.data_text(), test::DovecotServer::wire_form(kMail));
    EXPECT_EQ(pop.quit(), 1);
    EXPECT_EQ(has_line(trace, "C: STLS"), mode == Mode::stls);
    // The server pipelines: PASS went out before the answer to USER came.
    auto user = std::find_if(trace.begin(), trace.end(), [](const std::string& l) { return l.starts_with("C: USER"); });
    ASSERT_NE(user, trace.end());
    ASSERT_NE(user + 1, trace.end());
    EXPECT_TRUE(user[1].starts_with("C: PASS")) << user[1];
    EXPECT_NE(pop_server.log().find("user=<alice>, method=PLAIN"), std::string::npos) << pop_server.log();
    EXPECT_NE(pop_server.log().find(", TLS"), std::string::npos) << pop_server.log();
    // The next connection to the server resumes this one's TLS session.
    LineSocket again{5s};
    Pop3Session second(again);
    ASSERT_EQ(second.log_in("pop.example.test:" + std::to_string(port), "alice", "secret"), 1) << second.error_text();
    EXPECT_TRUE(again.tls_resumed());
    EXPECT_EQ(second.quit(), 1);
    pop_server.stop();
  }
}

// Refusals, each with its own text naming the server, and never a user name
// or password sent.
TEST_F(TlsPeers, pop3RefusesWhatDoesNotVerify) {
  test::TestCa other;
  ASSERT_TRUE(other.ok()) << other.error();
  start_pop(Mode::implicit, 995);
  test::DovecotServer stls_server;
  test::TestCa::Issued cert = ca.issue("pop.example.test");
  stls_server.set_tls({Mode::stls, "127.0.0.10", 110, cert.cert, cert.key});
  ASSERT_TRUE(stls_server.start({{"alice", "secret"}})) << stls_server.error();

  struct Case {
    const char* what;
    const test::TestCa* trusted;
    std::string field;
    int text;
    std::string host;
  };
  const Case cases[] = {
      {"untrusted", &other, "pop.example.test:995", sid::kUntrusted, "pop.example.test"},
      {"untrusted after STLS", &other, "pop.example.test:110", sid::kUntrusted, "pop.example.test"},
      {"wrong host", &ca, "other.example.test:995", sid::kWrongHost, "other.example.test"},
      {"wrong host after STLS", &ca, "other.example.test:110", sid::kWrongHost, "other.example.test"},
  };
  for (const Case& c : cases) {
    trust(*c.trusted);
    trace.clear();
    Pop3Session pop(socket);
    traced(pop);
    EXPECT_EQ(pop.log_in(c.field, "alice", "secret"), 0) << c.what;
    EXPECT_EQ(pop.error_text(), res::text(c.text) + c.host) << c.what;
    EXPECT_FALSE(has_line(trace, "C: USER")) << c.what;
  }
}

// A server without STLS is refused when TLS is required, and as a downgrade
// when it completed TLS before; neither gets a user name.
TEST_F(TlsPeers, pop3RefusesAServerWithoutStlsWhenRequiredOrSeenBefore) {
  test::DovecotServer plain;
  ASSERT_TRUE(plain.start({{"alice", "secret"}})) << plain.error();
  struct Case {
    const char* what;
    TlsPolicy policy;
    int text;
  } cases[] = {
      {"required", {.required = true}, sid::kTlsNotOffered},
      {"seen before", {.seen = true}, sid::kDowngrade},
      {"required and seen before", {.required = true, .seen = true}, sid::kDowngrade},
  };
  for (const Case& c : cases) {
    trace.clear();
    Pop3Session pop(socket);
    traced(pop);
    pop.set_tls(c.policy);
    EXPECT_EQ(pop.log_in(plain.server_field(), "alice", "secret"), 0) << c.what;
    EXPECT_EQ(pop.error_text(), res::text(c.text) + "127.0.0.1") << c.what;
    EXPECT_TRUE(has_line(trace, "C: CAPA")) << c.what;
    EXPECT_FALSE(has_line(trace, "C: USER")) << c.what;
  }

  // Otherwise the same server is used in plaintext, as before.
  Pop3Session open_pop(socket);
  EXPECT_EQ(open_pop.log_in(plain.server_field(), "alice", "secret"), 1) << open_pop.error_text();
  EXPECT_FALSE(open_pop.secured());
}

// SMTP through the account's server: STARTTLS on 587 and implicit TLS on 465,
// each logging in over TLS only; a server offering AUTH PLAIN alone.
TEST_F(TlsPeers, smtpSendsOverVerifiedTls) {
  struct Case {
    const char* what;
    int port;
    bool implicit;
    bool plain_only;
  };
  for (const Case& c : {Case{"STARTTLS", 587, false, false}, Case{"SMTPS", 465, true, false},
                        Case{"AUTH PLAIN only", 587, false, true}}) {
    test::TestCa::Issued cert = ca.issue("smtp.example.test");
    test::SmtpServerOptions o = test::SmtpServerOptions().on("127.0.0.11", c.port).with_login("bob", "secret");
    o.with_tls(cert.cert, cert.key, c.implicit);
    if (c.plain_only) o.offering_plain_only();
    test::SmtpServer server(o);
    ASSERT_TRUE(server.running()) << server.log();
    SmtpDeliveryOptions options;
    options.timeout = 5s;
    options.local_host = "pc.example.test";
    trace.clear();
    options.trace = [this](std::string_view line) { trace.emplace_back(line); };
    SmtpAccount account{"me@example.test", "smtp.example.test:" + std::to_string(c.port), true, "bob", "secret"};
    ASSERT_TRUE(send_through_account_with_notice(options, account, "you@example.test", kMessage)) << c.what;
    ASSERT_TRUE(server.wait_for_mails(1)) << c.what;
    test::ReceivedMail mail = server.mails()[0];
    EXPECT_EQ(mail.data, kMessage) << c.what;
    EXPECT_TRUE(mail.tls) << c.what;
    EXPECT_EQ(mail.login, "bob") << c.what;
    EXPECT_EQ(has_line(trace, "C: AUTH PLAIN"), c.plain_only) << c.what;
    EXPECT_EQ(has_line(trace, "C: AUTH LOGIN"), !c.plain_only) << c.what;
  }
}

TEST_F(TlsPeers, smtpRefusesWhatDoesNotVerifyOrOffersNoTls) {
  test::TestCa other;
  ASSERT_TRUE(other.ok()) << other.error();
  test::TestCa::Issued cert = ca.issue("smtp.example.test");
  test::SmtpServer smtps(
      test::SmtpServerOptions().on("127.0.0.11", 465).with_login("bob", "secret").with_tls(cert.cert, cert.key, true));
  test::SmtpServer plain(test::SmtpServerOptions().on("127.0.0.11", 25).with_login("bob", "secret"));
  ASSERT_TRUE(smtps.running()) << smtps.log();
  ASSERT_TRUE(plain.running()) << plain.log();

  struct Case {
    const char* what;
    const test::TestCa* trusted;
    std::string field;
    bool required;
    int text;
    std::string host;
  };
  const Case cases[] = {
      {"untrusted", &other, "smtp.example.test:465", false, sid::kUntrusted, "smtp.example.test"},
      {"wrong host", &ca, "127.0.0.11:465", false, sid::kWrongHost, "127.0.0.11"},
      {"no STARTTLS", &ca, "smtp.example.test:25", true, sid::kTlsNotOffered, "smtp.example.test"},
  };
  for (const Case& c : cases) {
    trust(*c.trusted);
    LineSocket smtp_socket{5s};
    SmtpSession session(smtp_socket);
    session.set_tls({.required = c.required});
    bool ok = session.connect(c.field) && session.hello("pc.example.test") && session.log_in("bob", "secret");
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(session.error_text(), res::text(c.text) + c.host) << c.what;

    // The sending procedure stops the same way, before any log-in.
    trace.clear();
    SmtpDeliveryOptions options;
    options.timeout = 5s;
    options.trace = [this](std::string_view line) { trace.emplace_back(line); };
    SmtpAccount account{"me@example.test", c.field, true, "bob", "secret", c.required};
    EXPECT_FALSE(send_through_account_with_notice(options, account, "you@example.test", kMessage)) << c.what;
    EXPECT_FALSE(has_line(trace, "C: AUTH")) << c.what;
  }
  EXPECT_TRUE(smtps.mails().empty());
  EXPECT_TRUE(plain.mails().empty());
}

}  // namespace
}  // namespace pw
