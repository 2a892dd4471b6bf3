// Logging in with an OAuth 2.0 access token against real servers: Dovecot's
// oauth2 passdb and the aiosmtpd peer, each offering one bearer mechanism
// (Outlook.com offers only XOAUTH2) and validating tokens at the fake
// authorization server. A refused token is renewed once; a token refused
// again gives the server's error status in words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "net/smtp_session.h"
#include "res/string_table.h"
#include "support/dovecot_server.h"
#include "support/oauth_server.h"
#include "support/smtp_server.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

struct Offer {
  const char* name;  // as the SMTP server and Dovecot's log spell it
  const char* dovecot;
  const char* dovecot_status;  // the error challenge's status from Dovecot
};
const Offer kOffers[] = {{"XOAUTH2", "xoauth2", "status 401, scope mail"},
                         {"OAUTHBEARER", "oauthbearer", "status invalid_token"}};

// Hands out `first`, then `renewed`; records what it was asked.
struct Tokens {
  std::string first, renewed;
  std::vector<bool> asked;
  BearerSource source() {
    return [this](bool renew) {
      asked.push_back(renew);
      return BearerToken{true, renew ? renewed : first, {}};
    };
  }
};

// "服务器拒绝了 OAuth 2.0 访问令牌：<what an invalid token means>（<status>）：<reply>"
std::string refusal(const std::string& status, const std::string& reply) {
  return std::string(res::text_utf8(sid::kTokenRefused)) + "：" + std::string(res::text_utf8(sid::kBearerBadToken)) + "（" + status + "）：" +
         reply;
}

class BearerServers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(auth.running()) << auth.log();
    std::optional<TokenGrant> grant = auth.grant();
    ASSERT_TRUE(grant) << auth.log();
    good = grant->access_token;
  }
  test::OAuthServer auth;
  std::string good;
  const std::string forged = "at-forged-token";
};

TEST_F(BearerServers, dovecotTakesARenewedTokenAndExplainsARefusal) {
  for (const Offer& offer : kOffers) {
    SCOPED_TRACE(offer.name);
    test::DovecotServer server;
    server.set_oauth(auth.url("/introspect"), offer.dovecot);
    ASSERT_TRUE(server.start({{"alice", "secret"}})) << server.error();
    {
      LineSocket socket{5s};
      Pop3Session pop(socket);
      Tokens tokens{forged, good, {}};
      EXPECT_EQ(pop.log_in_bearer(server.server_field(), "alice", tokens.source()), 1) << pop.error_text();
      EXPECT_EQ(tokens.asked, (std::vector<bool>{false, true}));
      EXPECT_EQ(pop.uidl_all(), 1) << pop.error_text();
      (void)pop.quit();
    }
    EXPECT_NE(server.log().find(std::string("method=") + offer.name), std::string::npos) << server.log();
    LineSocket socket{5s};
    Pop3Session pop(socket);
    Tokens tokens{forged, forged, {}};
    EXPECT_EQ(pop.log_in_bearer(server.server_field(), "alice", tokens.source()), 0);
    EXPECT_EQ(gb_to_utf8(pop.error_text()), refusal(offer.dovecot_status, "-ERR [AUTH] Authentication failed."));
  }
}

TEST_F(BearerServers, smtpServerTakesARenewedTokenAndExplainsARefusal) {
  for (const Offer& offer : kOffers) {
    SCOPED_TRACE(offer.name);
    test::SmtpServer server(
        test::SmtpServerOptions().with_login("me", "unused").with_oauth(auth.url("/introspect"), offer.name));
    ASSERT_TRUE(server.running()) << server.log();
    auto session = [&](Tokens& tokens, SmtpSession& smtp) {
      EXPECT_EQ(smtp.connect(server.field()), 1) << smtp.error_text();
      EXPECT_EQ(smtp.hello("pc.example.test"), 1) << smtp.error_text();
      return smtp.log_in_bearer("alice", tokens.source());
    };
    {
      SmtpSession smtp(5s);
      std::vector<std::string> trace;
      smtp.set_trace([&](std::string_view line) { trace.emplace_back(line); });
      Tokens tokens{forged, good, {}};
      EXPECT_EQ(session(tokens, smtp), 1) << smtp.error_text();
      EXPECT_EQ(tokens.asked, (std::vector<bool>{false, true}));
      bool offered = false;
      for (const std::string& line : trace) {
        offered = offered || line.find(std::string("C: AUTH ") + offer.name) == 0;
        EXPECT_EQ(line.find(good), std::string::npos) << line;
      }
      EXPECT_TRUE(offered);
    }
    SmtpSession smtp(5s);
    Tokens tokens{forged, forged, {}};
    EXPECT_EQ(session(tokens, smtp), 0);
    EXPECT_EQ(gb_to_utf8(smtp.error_text()), refusal("status 401, scope mail", "535 5.7.8 Authentication credentials invalid"));
  }
}

}  // namespace
}  // namespace pw
