// Logging in with an OAuth 2.0 access token over POP3 and SMTP against
// scripted peers: the mechanism chosen from what the server offers, the
// initial response on the command line or after an empty challenge, the
// error challenge answered and read into words, one renewed token after a
// refusal, and no token in the trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "mail/base64.h"
#include "net/json_object.h"
#include "net/pop3_session.h"
#include "net/smtp_session.h"
#include "res/language.h"
#include "res/string_table.h"
#include "support/scripted_peer.h"

namespace pw {
namespace {

const std::string kShort = "at-short";
const std::string kLong = std::string(400, 'L');  // a real provider's token is this long
const std::string kRenewed = "at-renewed";
const std::string kErrorJson = R"({"status":"401","schemes":"bearer","scope":"https://mail.google.com/"})";

std::string xoauth2(const std::string& token) { return base64_encode("user=alice\x01" "auth=Bearer " + token + "\x01\x01"); }
std::string oauthbearer(const std::string& token) {
  return base64_encode("n,a=alice,\x01" "auth=Bearer " + token + "\x01\x01");
}

// Hands out `first`, then kRenewed when asked to renew; counts the calls.
struct Tokens {
  std::string first;
  std::vector<bool> asked;
  BearerSource source() {
    return [this](bool renew) {
      asked.push_back(renew);
      return BearerToken{true, renew ? kRenewed : first, {}};
    };
  }
};

TEST(BearerLoginPop3, mechanismAndInitialResponseFollowWhatTheServerOffers) {
  struct Case {
    const char* name;
    std::string sasl;
    std::string token;
    std::string conversation;  // client lines after CAPA, server lines between
  };
  const Case cases[] = {
      {"both offered: OAUTHBEARER on the command line", "SASL PLAIN XOAUTH2 OAUTHBEARER\r\n", kShort,
       "AUTH OAUTHBEARER " + oauthbearer(kShort) + "\r\n"},
      {"only XOAUTH2, a long token after the empty challenge", "SASL PLAIN XOAUTH2\r\n", kLong,
       "AUTH XOAUTH2\r\n" + xoauth2(kLong) + "\r\n"},
      {"no CAPA list: XOAUTH2 is tried", "", kShort, "AUTH XOAUTH2 " + xoauth2(kShort) + "\r\n"},
  };
  for (const Case& c : cases) {
    test::ScriptedPeer peer;
    peer.server("+OK ready\r\n").client("CAPA\r\n");
    if (c.sasl.empty()) {
      peer.server("-ERR no\r\n");
    } else {
      peer.server("+OK\r\nUIDL\r\n" + c.sasl + ".\r\n");
    }
    const std::string& wire = c.conversation;
    if (wire.starts_with("AUTH XOAUTH2\r\n")) {
      peer.client("AUTH XOAUTH2\r\n").server("+ \r\n").client(wire.substr(14));
    } else {
      peer.client(wire);
    }
    peer.server("+OK Logged in.\r\n");
    Pop3Session pop(peer);
    std::vector<std::string> trace;
    pop.set_trace([&](std::string_view line) { trace.emplace_back(line); });
    Tokens tokens{c.token};
    EXPECT_EQ(pop.log_in_bearer("pop.example.test", "alice", tokens.source()), 1) << c.name << pop.error_text();
    EXPECT_TRUE(peer.done()) << c.name;
    EXPECT_EQ(tokens.asked, std::vector<bool>{false}) << c.name;
    for (const std::string& line : trace) {
      EXPECT_EQ(line.find(c.token), std::string::npos) << c.name << line;
      EXPECT_EQ(line.find(base64_encode(c.token).substr(0, 8)), std::string::npos) << c.name << line;
    }
  }
}

TEST(BearerLoginPop3, refusedTokenIsRenewedOnceAndASecondRefusalIsExplained) {
  test::ScriptedPeer peer;
  const std::string challenge = "+ " + base64_encode(kErrorJson) + "\r\n";
  peer.server("+OK ready\r\n").client("CAPA\r\n").server("+OK\r\nSASL XOAUTH2\r\n.\r\n");
  peer.client("AUTH XOAUTH2 " + xoauth2(kShort) + "\r\n").server(challenge).client("\r\n");
  peer.server("-ERR [AUTH] Authentication failed.\r\n");
  peer.client("AUTH XOAUTH2 " + xoauth2(kRenewed) + "\r\n").server(challenge).client("\r\n");
  peer.server("-ERR [AUTH] Authentication failed.\r\n");
  Pop3Session pop(peer);
  Tokens tokens{kShort};
  EXPECT_EQ(pop.log_in_bearer("pop.example.test", "alice", tokens.source()), 0);
  EXPECT_TRUE(peer.done());
  EXPECT_EQ(tokens.asked, (std::vector<bool>{false, true}));
  EXPECT_EQ(gb_to_utf8(pop.error_text()),
            "服务器拒绝了 OAuth 2.0 访问令牌：访问令牌无效、已过期，或不属于这个登录名（status 401, scope "
            "https://mail.google.com/）：-ERR [AUTH] "
            "Authentication failed.");
  // Shown in English, the reason's words are English.
  res::set_language(res::Language::english);
  const std::string shown = gb_to_utf8(res::displayed(pop.error_text()));
  res::set_language(res::Language::chinese);
  EXPECT_EQ(shown,
            "The server refused the OAuth 2.0 access token：the access token is invalid, has expired, or does not "
            "belong to this login name（status 401, scope https://mail.google.com/）：-ERR [AUTH] Authentication "
            "failed.");
}

TEST(BearerLoginPop3, serverWithoutABearerMechanismOrWithoutATokenGetsNoAuth) {
  {
    test::ScriptedPeer peer;
    peer.server("+OK ready\r\n").client("CAPA\r\n").server("+OK\r\nSASL PLAIN LOGIN\r\n.\r\n");
    Pop3Session pop(peer);
    Tokens tokens{kShort};
    EXPECT_EQ(pop.log_in_bearer("pop.example.test", "alice", tokens.source()), 0);
    EXPECT_EQ(pop.error_text(), res::text(sid::kNoBearer));
    EXPECT_TRUE(tokens.asked.empty());
    EXPECT_EQ(peer.written(), "CAPA\r\n");
  }
  {
    test::ScriptedPeer peer;
    peer.server("+OK ready\r\n").client("CAPA\r\n").server("+OK\r\nSASL XOAUTH2\r\n.\r\n");
    Pop3Session pop(peer);
    EXPECT_EQ(pop.log_in_bearer("pop.example.test", "alice", [](bool) { return BearerToken{false, {}, "no grant"}; }), 0);
    EXPECT_EQ(pop.error_text(), "no grant");
    EXPECT_EQ(peer.written(), "CAPA\r\n");
  }
}

TEST(BearerLoginSmtp, refusedTokenIsRenewedAndTheOfferedMechanismUsed) {
  struct Case {
    const char* auth_line;
    std::string first_try;  // the AUTH line with the first token
    std::string abort;      // the answer to the error challenge
    std::string second_try;
  };
  const Case cases[] = {
      {"250 AUTH LOGIN XOAUTH2\r\n", "AUTH XOAUTH2 " + xoauth2(kShort) + "\r\n", "\r\n",
       "AUTH XOAUTH2 " + xoauth2(kRenewed) + "\r\n"},
      {"250 AUTH OAUTHBEARER XOAUTH2\r\n", "AUTH OAUTHBEARER " + oauthbearer(kShort) + "\r\n",
       base64_encode("\x01") + "\r\n", "AUTH OAUTHBEARER " + oauthbearer(kRenewed) + "\r\n"},
  };
  for (const Case& c : cases) {
    test::ScriptedPeer peer;
    peer.server("220 hi\r\n").client("EHLO pc\r\n").server(std::string("250-mail\r\n") + c.auth_line);
    peer.client(c.first_try).server("334 " + base64_encode(kErrorJson) + "\r\n").client(c.abort);
    peer.server("535 5.7.8 invalid\r\n").client(c.second_try).server("235 2.7.0 ok\r\n");
    SmtpSession smtp(peer);
    Tokens tokens{kShort};
    ASSERT_EQ(smtp.connect("smtp.example.test"), 1);
    ASSERT_EQ(smtp.hello("pc"), 1);
    EXPECT_EQ(smtp.log_in_bearer("alice", tokens.source()), 1) << c.auth_line << smtp.error_text();
    EXPECT_TRUE(peer.done()) << c.auth_line;
    EXPECT_EQ(tokens.asked, (std::vector<bool>{false, true}));
  }
}

TEST(BearerLoginSmtp, longTokenWaitsForTheEmptyChallenge) {
  const std::string token(600, 'L');
  test::ScriptedPeer peer;
  peer.server("220 hi\r\n").client("EHLO pc\r\n").server("250-mail\r\n250 AUTH XOAUTH2\r\n");
  peer.client("AUTH XOAUTH2\r\n").server("334 \r\n").client(xoauth2(token) + "\r\n").server("235 ok\r\n");
  SmtpSession smtp(peer);
  ASSERT_EQ(smtp.connect("smtp.example.test"), 1);
  ASSERT_EQ(smtp.hello("pc"), 1);
  EXPECT_EQ(smtp.log_in_bearer("alice", [&](bool) { return BearerToken{true, token, {}}; }), 1) << smtp.error_text();
  EXPECT_TRUE(peer.done());
}

TEST(JsonObject, readsFlatMembersAndPassesOverNestedOnes) {
  struct Case {
    const char* text;
    bool ok;
    const char* member;
    const char* value;
  };
  const Case cases[] = {
      {R"({"access_token":"a\/b\u00e9","expires_in":3599})", true, "access_token", "a/b\xc3\xa9"},
      {R"( {"expires_in" : 3599 , "x":[1,{"y":2}]} )", true, "expires_in", "3599"},
      {R"({"active":true,"n":null})", true, "active", "true"},
      {R"({"a":"\ud83d\ude00"})", true, "a", "\xf0\x9f\x98\x80"},
      {R"({"a":"b"} trailing)", false, "", ""},
      {R"({"a":"unterminated})", false, "", ""},
      {"[1,2]", false, "", ""},
  };
  for (const Case& c : cases) {
    std::optional<JsonObject> o = parse_json_object(c.text);
    ASSERT_EQ(o.has_value(), c.ok) << c.text;
    if (o) EXPECT_EQ(json_member(*o, c.member), c.value) << c.text;
  }
}

}  // namespace
}  // namespace pw
