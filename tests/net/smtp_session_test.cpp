// The SMTP session against scripted peers: exact wire bytes, and the faults a
// real server will not produce (replies cut anywhere, silence, a close in the
// middle of a reply, garbage, endless lines).
#include "net/smtp_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/string_table.h"
#include "support/scripted_peer.h"

namespace pw {
namespace {

using test::ScriptedPeer;

const std::string kEhloReply = "250-mail.example.test\r\n250-SIZE 1000000\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n";

// The peer after a greeting, with the session connected to it.
struct Conversation {
  Conversation() { peer.server("220 mail.example.test ESMTP\r\n"); }
  bool connect() { return session.connect("mail.example.test") == 1; }
  ScriptedPeer peer;
  SmtpSession session{peer};
};

TEST(SmtpSession, wholeAuthenticatedSendHasTheExactWireBytes) {
  Conversation c;
  c.peer.client("EHLO pc\r\n")
      .server(kEhloReply)
      .client("AUTH LOGIN\r\n")
      .server("334 VXNlcm5hbWU6\r\n")
      .client("Ym9i\r\n")
      .server("334 UGFzc3dvcmQ6\r\n")
      .client("c2VjcmV0\r\n")
      .server("235 2.7.0 Authentication successful\r\n")
      .client("MAIL FROM:<me@example.test>\r\n")
      .server("250 OK\r\n")
      .client("RCPT TO:<you@example.test>\r\n")
      .server("250 OK\r\n")
      .client("DATA\r\n")
      .server("354 End data with <CR><LF>.<CR><LF>\r\n")
      .client("Subject: hi\r\n\r\n..\r\n..dot\r\nend\r\n.\r\n")
      .server("250 queued\r\n")
      .client("QUIT\r\n")
      .server("221 bye\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.peer.connected_host(), "mail.example.test");
  EXPECT_EQ(c.peer.connected_port(), 25);
  EXPECT_EQ(c.session.ehlo_and_auth("pc"), 1);
  EXPECT_EQ(c.session.auth_user("bob"), 1);
  EXPECT_EQ(c.session.auth_password("secret"), 1);
  EXPECT_EQ(c.session.mail_from("me@example.test"), 1);
  EXPECT_EQ(c.session.rcpt_to("you@example.test"), 1);
  EXPECT_EQ(c.session.data(), 1);
  EXPECT_GT(c.session.send_data("Subject: hi\r\n\r\n.\r\n.dot\r\nend\r\n"), 0);
  EXPECT_EQ(c.session.end_data(), 1);
  EXPECT_EQ(c.session.quit(), 1);
  EXPECT_TRUE(c.peer.done());
  EXPECT_EQ(c.session.user_name(), "bob");
  EXPECT_EQ(c.session.password(), "secret");
}

// Regression: the EHLO reply arriving in pieces used to be taken for the
// reply to AUTH LOGIN. Cut it at every byte.
TEST(SmtpSession, multiLineReplyCutAtAnyByteIsOneReply) {
  for (size_t cut = 1; cut < kEhloReply.size(); ++cut) {
    Conversation c;
    c.peer.client("EHLO pc\r\n")
        .server(kEhloReply.substr(0, cut))
        .server(kEhloReply.substr(cut))
        .client("AUTH LOGIN\r\n")
        .server("334 VXNlcm5hbWU6\r\n");
    ASSERT_TRUE(c.connect());
    EXPECT_EQ(c.session.ehlo_and_auth("pc"), 1) << "cut at " << cut;
    EXPECT_TRUE(c.peer.done());
  }
}

TEST(SmtpSession, everyReplyArrivingByteByByteIsRead) {
  ScriptedPeer peer;
  peer.server("220-first\r\n220 second\r\n", 1)
      .client("HELO pc\r\n")
      .server("250 hi\r\n", 1)
      .client("MAIL FROM:<a@b.test>\r\n")
      .server("250 OK\r\n", 1);
  SmtpSession session(peer);
  ASSERT_EQ(session.connect("h"), 1);
  EXPECT_EQ(session.helo("pc"), 1);
  EXPECT_EQ(session.mail_from("a@b.test"), 1);
  EXPECT_TRUE(peer.done());
}

TEST(SmtpSession, bytesAfterAReplyAreKeptForTheNextOne) {
  // Greeting and the HELO reply in one receive, then MAIL FROM and RCPT replies together.
  ScriptedPeer peer;
  peer.server("220 hi\r\n250 hello\r\n")
      .client("HELO pc\r\n")
      .client("MAIL FROM:<a@b.test>\r\n")
      .server("250 OK\r\n550 no such user\r\n")
      .client("RCPT TO:<x@b.test>\r\n");
  SmtpSession session(peer);
  ASSERT_EQ(session.connect("h"), 1);
  EXPECT_EQ(session.helo("pc"), 1);
  EXPECT_EQ(session.mail_from("a@b.test"), 1);
  EXPECT_EQ(session.rcpt_to("x@b.test"), SmtpSession::kRefused);
  EXPECT_EQ(session.error_text(), "550 no such user\r\n");
  EXPECT_TRUE(peer.done());
}

struct FaultCase {
  const char* name;
  std::vector<std::string> server;  // what the server sends after HELO, then it closes
  bool silent;                      // ... or it stays silent instead of closing
  std::string error;                // expected error text
};

class SmtpSessionFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SmtpSessionFault, failsTheCommandWithAReason) {
  const FaultCase& f = GetParam();
  Conversation c;
  c.peer.client("HELO pc\r\n");
  for (const std::string& piece : f.server) c.peer.server(piece);
  if (f.silent) c.peer.silent();
  else c.peer.close();
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.helo("pc"), 0);
  EXPECT_EQ(c.session.error_text(), f.error);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SmtpSessionFault,
    ::testing::Values(FaultCase{"silence", {}, true, res::text(sid::kConnectionBroken)},
                      FaultCase{"closeBeforeAnyByte", {}, false, res::text(sid::kConnectionBroken)},
                      FaultCase{"closeMidLine", {"250 hel"}, false, res::text(sid::kConnectionBroken)},
                      FaultCase{"closeBetweenLinesOfOneReply", {"250-first\r\n"}, false, res::text(sid::kConnectionBroken)},
                      FaultCase{"silentBetweenLinesOfOneReply", {"250-first\r\n", "250-sec"}, true, res::text(sid::kConnectionBroken)},
                      FaultCase{"garbage", {"hello there\r\n"}, false, "hello there\r\n"},
                      FaultCase{"shortCode", {"25\r\n"}, false, "25\r\n"},
                      FaultCase{"otherCode", {"502 5.5.1 Unrecognized\r\n"}, false, "502 5.5.1 Unrecognized\r\n"},
                      FaultCase{"bareLineFeeds", {"501-no\n501 never\n"}, false, "501-no\n501 never\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// After a lost reply the conversation's state is unknown: nothing more is
// sent (no QUIT waiting out another time-out) until the next connect.
TEST(SmtpSession, lostReplyEndsTheConversationUntilTheNextConnect) {
  Conversation c;
  c.peer.client("MAIL FROM:<a@x.test>\r\n").silent();
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.mail_from("a@x.test"), 0);
  EXPECT_EQ(c.session.rcpt_to("b@x.test"), 0);
  EXPECT_LT(c.session.send_data("text"), 0);
  EXPECT_EQ(c.session.quit(), 0);
  EXPECT_EQ(c.session.error_text(), res::text(sid::kConnectionBroken));
  EXPECT_EQ(c.peer.written(), "MAIL FROM:<a@x.test>\r\n");
  c.peer.server("220 again\r\n").client("QUIT\r\n").server("221 bye\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.quit(), 1);
}

TEST(SmtpSession, refusalKeepsTheConversationGoing) {
  Conversation c;
  c.peer.client("MAIL FROM:<a@x.test>\r\n").server("451 4.3.0 try later\r\n").client("QUIT\r\n").server("221 bye\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.mail_from("a@x.test"), 0);
  EXPECT_EQ(c.session.error_text(), "451 4.3.0 try later\r\n");
  EXPECT_EQ(c.session.quit(), 1);
}

TEST(SmtpSession, endlessReplyLineIsBounded) {
  Conversation c;
  c.peer.client("HELO pc\r\n").server("250 " + std::string(SmtpSession::kMaxReply + 10, 'x'));
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.helo("pc"), 0);
  EXPECT_FALSE(c.session.error_text().empty());
  EXPECT_NE(c.session.error_text(), res::text(sid::kConnectionBroken));
}

TEST(SmtpSession, endlessMultiLineReplyIsBounded) {
  std::string lines;
  while (lines.size() <= SmtpSession::kMaxReply) lines += "250-" + std::string(1000, 'y') + "\r\n";
  Conversation c;
  c.peer.client("HELO pc\r\n").server(lines).server("250 end\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.helo("pc"), 0);
  EXPECT_NE(c.session.error_text(), res::text(sid::kConnectionBroken));
}

TEST(SmtpSession, connectFailuresAndGreetings) {
  ScriptedPeer refused;
  refused.refuse_connect();
  SmtpSession s1(refused);
  EXPECT_EQ(s1.connect("nowhere.test"), 0);
  EXPECT_EQ(s1.error_text(), res::text(sid::kCannotConnect));
  EXPECT_EQ(s1.quit(), 0);
  EXPECT_EQ(refused.written(), "");

  ScriptedPeer busy;
  busy.server("554 5.3.2 busy\r\n");
  SmtpSession s2(busy);
  EXPECT_EQ(s2.connect("127.0.0.1:2525"), 0);
  EXPECT_EQ(busy.connected_host(), "127.0.0.1");
  EXPECT_EQ(busy.connected_port(), 2525);
  EXPECT_EQ(s2.error_text(), "554 5.3.2 busy\r\n");
  // A refusing greeting still gets its QUIT (RFC 5321 3.1).
  busy.client("QUIT\r\n").server("221 bye\r\n");
  EXPECT_EQ(s2.quit(), 1);
}

struct RcptCase {
  const char* given;
  const char* wire;
};

class SmtpRcptTo : public ::testing::TestWithParam<RcptCase> {};

TEST_P(SmtpRcptTo, carriesTheBareAddress) {
  Conversation c;
  c.peer.client(GetParam().wire).server("250 OK\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.rcpt_to(GetParam().given), 1);
  EXPECT_TRUE(c.peer.done());
}

INSTANTIATE_TEST_SUITE_P(Recipients, SmtpRcptTo,
                         ::testing::Values(RcptCase{"bob@x.test", "RCPT TO:<bob@x.test>\r\n"},
                                           RcptCase{"Bob Smith <bob@x.test>", "RCPT TO:<bob@x.test>\r\n"},
                                           RcptCase{"\"Smith, Bob\" <bob@x.test>", "RCPT TO:<bob@x.test>\r\n"},
                                           RcptCase{"<bob@x.test>", "RCPT TO:<bob@x.test>\r\n"},
                                           RcptCase{" bob@x.test ", "RCPT TO:<bob@x.test>\r\n"}));

TEST(SmtpSession, recipientRepliesGiveThreeResults) {
  Conversation c;
  c.peer.client("RCPT TO:<a@x.test>\r\n")
      .server("251 will forward\r\n")
      .client("RCPT TO:<b@x.test>\r\n")
      .server("550 5.1.1 unknown\r\n")
      .client("RCPT TO:<c@x.test>\r\n")
      .close();
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.rcpt_to("a@x.test"), 1);
  EXPECT_EQ(c.session.rcpt_to("b@x.test"), SmtpSession::kRefused);
  EXPECT_EQ(c.session.error_text(), "550 5.1.1 unknown\r\n");
  EXPECT_EQ(c.session.rcpt_to("c@x.test"), 0);
}

TEST(SmtpSession, unsafeOrOverlongArgumentsAreNotSent) {
  Conversation c;  // the script expects nothing from the client
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.mail_from("a@x.test>\r\nRCPT TO:<evil@x.test"), 0);
  EXPECT_EQ(c.session.rcpt_to("a@x.test\nDATA"), 0);
  EXPECT_EQ(c.session.helo(std::string("pc\0x", 4)), 0);
  EXPECT_FALSE(c.session.error_text().empty());
  // "MAIL FROM:<" + address + ">\r\n" may be 255 bytes at most.
  std::string longest(255 - 14, 'a');
  EXPECT_EQ(c.session.mail_from(longest + "a"), 0);
  EXPECT_EQ(c.peer.written(), "");
  c.peer.client("MAIL FROM:<" + longest + ">\r\n").server("250 OK\r\n");
  EXPECT_EQ(c.session.mail_from(longest), 1);
}

struct DataCase {
  const char* name;
  std::vector<std::string> pieces;  // handed to send_data one after another
  std::string wire;                 // everything after DATA, end line included
};

class SmtpData : public ::testing::TestWithParam<DataCase> {};

TEST_P(SmtpData, isDotStuffedAndEndedWithoutAddingABlankLine) {
  Conversation c;
  c.peer.client("DATA\r\n").server("354 go\r\n").client(GetParam().wire).server("250 OK\r\n");
  ASSERT_TRUE(c.connect());
  ASSERT_EQ(c.session.data(), 1);
  for (const std::string& piece : GetParam().pieces) EXPECT_GE(c.session.send_data(piece), 0);
  EXPECT_EQ(c.session.end_data(), 1);
  EXPECT_TRUE(c.peer.done());
}

INSTANTIATE_TEST_SUITE_P(Texts, SmtpData,
                         ::testing::Values(DataCase{"endsWithCrLf", {"a\r\nb\r\n"}, "a\r\nb\r\n.\r\n"},
                                           DataCase{"noFinalLineEnd", {"a\r\nb"}, "a\r\nb\r\n.\r\n"},
                                           DataCase{"empty", {}, ".\r\n"},
                                           DataCase{"firstLineIsADot", {".\r\nx\r\n"}, "..\r\nx\r\n.\r\n"},
                                           DataCase{"lineOfDots", {"a\r\n...\r\n"}, "a\r\n....\r\n.\r\n"},
                                           DataCase{"dotInsideALine", {"a.b\r\n. \r\n"}, "a.b\r\n.. \r\n.\r\n"},
                                           DataCase{"dotAfterAPieceEnd", {"a\r\n", ".b\r\n"}, "a\r\n..b\r\n.\r\n"},
                                           DataCase{"lineEndSplitAcrossPieces", {"a\r", "\n"}, "a\r\n.\r\n"},
                                           DataCase{"onlyLineFeedAtEnd", {"a\n"}, "a\r\n.\r\n"},
                                           DataCase{"dotAfterBareLineFeed", {"a\n.b"}, "a\r\n..b\r\n.\r\n"},
                                           DataCase{"bareCrInsideALine", {"a\rb\r\n"}, "a\r\nb\r\n.\r\n"},
                                           DataCase{"bareCrAtTheEnd", {"a\r"}, "a\r\n.\r\n"},
                                           DataCase{"dotAfterBareCr", {"a\r.b\r\n"}, "a\r\n..b\r\n.\r\n"},
                                           DataCase{"bareCrAtAPieceEndThenADot", {"a\r", ".b\n"},
                                                    "a\r\n..b\r\n.\r\n"},
                                           DataCase{"pairSplitThenADot", {"a\r", "\n.b\r\n"}, "a\r\n..b\r\n.\r\n"},
                                           DataCase{"lineFeedCarriageReturn", {"a\n\rb"}, "a\r\n\r\nb\r\n.\r\n"},
                                           DataCase{"crThenCrLf", {"a\r\r\nb\r\n"}, "a\r\n\r\nb\r\n.\r\n"},
                                           DataCase{"otherControlBytesKept", {std::string("a\x00\x1b\x7f\xff\r\n", 7)},
                                                    std::string("a\x00\x1b\x7f\xff\r\n.\r\n", 10)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmtpSession, authUsesPaddedBase64) {
  // 3 bytes -> 4 characters; 4 bytes -> 8 with "=="; 5 bytes -> 8 with "=".
  Conversation c;
  c.peer.client("Ym9i\r\n")
      .server("334 x\r\n")
      .client("Ym9iYg==\r\n")
      .server("334 x\r\n")
      .client("Ym9iYnk=\r\n")
      .server("334 x\r\n");
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.auth_user("bob"), 1);
  EXPECT_EQ(c.session.auth_user("bobb"), 1);
  EXPECT_EQ(c.session.auth_user("bobby"), 1);
}

TEST(SmtpSession, refusedPasswordIsCorrectedInANewAuthExchange) {
  Conversation c;
  c.peer.client("Ym9i\r\n")
      .server("334 UGFzc3dvcmQ6\r\n")
      .client("d3Jvbmc=\r\n")
      .server("535 5.7.8 Authentication credentials invalid\r\n")
      .client("AUTH LOGIN\r\n")
      .server("334 VXNlcm5hbWU6\r\n")
      .client("YWxpY2U=\r\n")
      .server("334 UGFzc3dvcmQ6\r\n")
      .client("c2VjcmV0\r\n")
      .server("235 OK\r\n");
  std::vector<std::pair<std::string, std::string>> asked;
  c.session.set_login_prompt([&](const LoginData& refused, std::string_view refusal) {
    asked.emplace_back(refused.user, refused.password);
    EXPECT_EQ(refusal, "535 5.7.8 Authentication credentials invalid\r\n");
    return std::optional<LoginData>({"alice", "secret"});
  });
  ASSERT_TRUE(c.connect());
  ASSERT_EQ(c.session.auth_user("bob"), 1);
  EXPECT_EQ(c.session.auth_password("wrong"), 1);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], std::make_pair(std::string("bob"), std::string("wrong")));
  EXPECT_EQ(c.session.user_name(), "alice");
  EXPECT_EQ(c.session.password(), "secret");
  EXPECT_TRUE(c.peer.done());
}

TEST(SmtpSession, cancelledCorrectionEmptiesTheLogin) {
  Conversation c;
  c.peer.client("Ym9i\r\n").server("334 x\r\n").client("d3Jvbmc=\r\n").server("535 5.7.8 invalid\r\n");
  int asked = 0;
  c.session.set_login_prompt([&](const LoginData&, std::string_view) {
    ++asked;
    return std::optional<LoginData>();
  });
  ASSERT_TRUE(c.connect());
  ASSERT_EQ(c.session.auth_user("bob"), 1);
  EXPECT_EQ(c.session.auth_password("wrong"), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(c.session.user_name(), "");
  EXPECT_EQ(c.session.password(), "");
  EXPECT_EQ(c.session.error_text(), "535 5.7.8 invalid\r\n");
}

TEST(SmtpSession, lostReplyToThePasswordDoesNotAsk) {
  Conversation c;
  c.peer.client("cHc=\r\n").close();
  bool asked = false;
  c.session.set_login_prompt([&](const LoginData&, std::string_view) {
    asked = true;
    return std::optional<LoginData>();
  });
  ASSERT_TRUE(c.connect());
  EXPECT_EQ(c.session.auth_password("pw"), 0);
  EXPECT_FALSE(asked);
}

TEST(SmtpSession, traceShowsTheConversationWithoutThePassword) {
  Conversation c;
  c.peer.client("Ym9i\r\n").server("334 x\r\n").client("c2VjcmV0\r\n").server("235 OK\r\n");
  std::vector<std::string> lines;
  c.session.set_trace([&](std::string_view line) { lines.emplace_back(line); });
  ASSERT_TRUE(c.connect());
  ASSERT_EQ(c.session.auth_user("bob"), 1);
  ASSERT_EQ(c.session.auth_password("secret"), 1);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  EXPECT_NE(all.find("S: 220 mail.example.test ESMTP\n"), std::string::npos) << all;
  EXPECT_NE(all.find("C: Ym9i\n"), std::string::npos) << all;
  EXPECT_NE(all.find("S: 235 OK\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("secret"), std::string::npos) << all;
  EXPECT_EQ(all.find("c2VjcmV0"), std::string::npos) << all;
}

// hello(): the EHLO keywords, HELO for a server without EHLO, and the AUTH
// mechanism log_in() picks from them.
TEST(SmtpSession, helloKeepsTheKeywordsAndLogInPicksTheMechanism) {
  struct Case {
    const char* what;
    std::string ehlo_reply;
    bool helo;
    std::vector<std::string> keywords;
    std::string auth_wire;
  };
  const Case cases[] = {
      {"PLAIN only", "250-mx\r\n250-auth plain\r\n250 SIZE 10\r\n", false, {"auth plain", "SIZE 10"},
       "AUTH PLAIN AGJvYgBzZWNyZXQ=\r\n"},
      {"LOGIN and PLAIN", kEhloReply, false, {"SIZE 1000000", "AUTH LOGIN PLAIN", "HELP"}, "AUTH LOGIN\r\n"},
      {"no EHLO", "502 5.5.1 unknown\r\n", true, {}, "AUTH LOGIN\r\n"},
  };
  for (const Case& c : cases) {
    Conversation conversation;
    ScriptedPeer& peer = conversation.peer;
    peer.client("EHLO pc\r\n").server(c.ehlo_reply);
    if (c.helo) peer.client("HELO pc\r\n").server("250 hello\r\n");
    peer.client(c.auth_wire).server("535 no\r\n");
    ASSERT_TRUE(conversation.connect()) << c.what;
    EXPECT_EQ(conversation.session.hello("pc"), 1) << c.what;
    EXPECT_EQ(conversation.session.keywords(), c.keywords) << c.what;
    EXPECT_EQ(conversation.session.log_in("bob", "secret"), 0) << c.what;
    EXPECT_EQ(conversation.session.error_text(), "535 no\r\n") << c.what;
    EXPECT_TRUE(peer.done()) << c.what;
  }
}

// A stream that cannot do TLS: STARTTLS is not tried, unless TLS is required,
// which then stops before anything else is sent.
TEST(SmtpSession, requiredTlsOverAPlainStreamStopsAfterEhlo) {
  for (bool required : {false, true}) {
    Conversation c;
    c.session.set_tls({.required = required});
    c.peer.client("EHLO pc\r\n").server("250-mx\r\n250 STARTTLS\r\n");
    ASSERT_TRUE(c.connect());
    EXPECT_EQ(c.session.hello("pc"), required ? 0 : 1);
    EXPECT_TRUE(c.session.has_keyword("starttls"));
    if (required) {
      EXPECT_EQ(c.session.error_text(), res::text(sid::kTlsNotOffered) + "mail.example.test");
    }
    EXPECT_EQ(c.peer.written(), "EHLO pc\r\n");
  }
}

// The reply to the end of the data may come after several of the stream's
// waits; another command's reply may not.
TEST(SmtpSession, endOfDataReplyMayTakeSeveralWaits) {
  Conversation c;
  c.peer.client("DATA\r\n").server("354 go\r\n").client("x\r\n.\r\n").silent().silent().server("250 queued\r\n");
  ASSERT_TRUE(c.connect());
  ASSERT_EQ(c.session.data(), 1);
  ASSERT_EQ(c.session.send_data("x\r\n"), 3);
  EXPECT_EQ(c.session.end_data(), 1) << c.session.error_text();
  EXPECT_TRUE(c.peer.done());
}

}  // namespace
}  // namespace pw
