// The session opener: the account's TLS choice, the protocol log and the
// host's password dialog reach every session it opens.
#include "engine/pop3_opener.h"

#include <gtest/gtest.h>

#include "check_run_fixture.h"
#include "net/pop3_session.h"
#include "net/tls_policy.h"

namespace pw::test {
namespace {

class Pop3Opener : public CheckRunFixture {
 protected:
  // Opens a session for the fixture's account, its log in `traced`.
  Pop3Connection open(bool require_tls) {
    MailboxRecord r = account->record();
    r.require_tls = require_tls;
    account->set_record(r);
    Pop3Options options;
    options.stream = [this] { return std::make_unique<PeerStream>(next_session_peer(), receive_sizes); };
    options.trace = [this](std::string_view line) { traced.emplace_back(line); };
    options.login_prompt = pop3_login_prompt(host);
    return open_pop3(Pop3Account::of(account->record()), options);
  }
  ScriptedPeer& next_session_peer() { return *peers.at(opened++); }

  std::vector<std::string> traced;
};

TEST_F(Pop3Opener, accountsTlsChoiceDecidesWhetherAServerWithoutStlsGetsTheLogin) {
  // Without TLS required, a stream that cannot do TLS asks no CAPA.
  pop_login(next_session());
  Pop3Connection plain = open(false);
  EXPECT_TRUE(plain.ok()) << plain.error_text();
  EXPECT_EQ(peers.back()->written(), "USER me\r\nPASS pop-secret\r\n");

  pop_capa(next_session().server("+OK ready\r\n"), {"USER", "UIDL"});
  Pop3Connection secure = open(true);
  EXPECT_FALSE(secure.ok());
  EXPECT_EQ(secure.error_text(), tls_missing_text("pop.home.test"));
  EXPECT_EQ(peers.back()->written(), "CAPA\r\n");
  EXPECT_EQ(traced.front(), "-- connect pop.home.test:110");
}

TEST_F(Pop3Opener, refusedPasswordIsCorrectedThroughTheHostAndKeptOutOfTheLog) {
  host.logins.push_back(LoginData{"me", "new-secret"});
  next_session()
      .server("+OK ready\r\n")
      .client("USER me\r\n")
      .server("+OK\r\n")
      .client("PASS pop-secret\r\n")
      .server("-ERR [AUTH] wrong\r\n")
      .client("USER me\r\n")
      .server("+OK\r\n")
      .client("PASS new-secret\r\n")
      .server("+OK logged in\r\n");
  Pop3Connection pop = open(false);
  ASSERT_TRUE(pop.ok()) << pop.error_text();
  ASSERT_EQ(host.login_requests.size(), 1u);
  EXPECT_EQ(host.login_requests[0].service, LoginService::pop3);
  keep_login_correction(*pop, *account);
  EXPECT_EQ(account->record().password, "new-secret");
  for (const std::string& line : traced) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
  EXPECT_NE(std::find(traced.begin(), traced.end(), "C: PASS ****"), traced.end());
}

}  // namespace
}  // namespace pw::test
