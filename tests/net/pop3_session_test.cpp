// Pop3Session against scripted servers: the conversations a real server has,
// cut up in awkward places, and the faults a real server will not produce.
// Every test asserts the exact bytes the client wrote.
#include "net/pop3_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "res/string_table.h"
#include "support/scripted_peer.h"

namespace pw {
namespace {

const std::string kInterrupted = res::text(sid::kConnectionBroken);

class Pop3Script : public ::testing::Test {
 protected:
  // Greeting, USER alice, PASS secret, all accepted.
  void logged_in() {
    peer.server("+OK ready\r\n").client("USER alice\r\n").server("+OK\r\n").client("PASS secret\r\n").server(
        "+OK Logged in.\r\n");
    ASSERT_EQ(pop.log_in("pop.example.com", "alice", "secret"), 1) << pop.error_text();
    peer_written_at_login = peer.written().size();
  }
  // What the client wrote after logging in.
  std::string written_after_login() const { return peer.written().substr(peer_written_at_login); }

  test::ScriptedPeer peer;
  Pop3Session pop{peer};
  size_t peer_written_at_login = 0;
};

TEST_F(Pop3Script, logInConnectsToPort110AndSendsUserThenPass) {
  logged_in();
  EXPECT_EQ(peer.connected_host(), "pop.example.com");
  EXPECT_EQ(peer.connected_port(), 110);
  EXPECT_EQ(peer.written(), "USER alice\r\nPASS secret\r\n");
  EXPECT_EQ(pop.user_name(), "alice");
  EXPECT_EQ(pop.password(), "secret");
  EXPECT_TRUE(peer.done());
}

TEST_F(Pop3Script, serverFieldMayCarryThePort) {
  peer.server("+OK\r\n");
  ASSERT_EQ(pop.connect("127.0.0.1:2110"), 1);
  EXPECT_EQ(peer.connected_host(), "127.0.0.1");
  EXPECT_EQ(peer.connected_port(), 2110);
}

TEST_F(Pop3Script, failedConnectGivesCannotConnectAndSendsNothingLater) {
  peer.refuse_connect();
  EXPECT_EQ(pop.log_in("nowhere.example", "alice", "secret"), 0);
  EXPECT_EQ(pop.error_text(), res::text(sid::kCannotConnect));
  EXPECT_EQ(peer.written(), "");
}

TEST_F(Pop3Script, lowerCaseErrRefusesUserWithTheWholeReplyAsReason) {
  peer.server("+OK\r\n").client("USER bob\r\n").server("-err no such user\r\n");
  EXPECT_EQ(pop.log_in("pop.example.com", "bob", "pw"), 0);
  EXPECT_EQ(pop.error_text(), "-err no such user\r\n");
  EXPECT_EQ(peer.written(), "USER bob\r\n");  // no PASS after a refused USER
}

TEST_F(Pop3Script, refusedGreetingFailsConnect) {
  peer.server("-ERR too many connections\r\n");
  EXPECT_EQ(pop.connect("pop.example.com"), 0);
  EXPECT_EQ(pop.error_text(), "-ERR too many connections\r\n");
}

// A reply split at every byte, and replies that arrive ahead of their command
// together with the previous one, keep the session in step.
TEST_F(Pop3Script, repliesSplitAtEveryByteKeepTheSessionInStep) {
  peer.server("+OK POP3 server ready\r\n", 1)
      .client("USER alice\r\n")
      .server("+OK\r\n", 1)
      .client("PASS secret\r\n")
      .server("+OK Logged in.\r\n", 1)
      .client("LIST 1\r\n")
      .server("+OK 1 320\r\n", 1)
      .client("QUIT\r\n")
      .server("+OK bye\r\n", 1);
  ASSERT_EQ(pop.log_in("h", "alice", "secret"), 1) << pop.error_text();
  ASSERT_EQ(pop.list_one(1), 1);
  EXPECT_EQ(pop.size(0), 320u);
  EXPECT_EQ(pop.quit(), 1);
  EXPECT_TRUE(peer.done());
}

TEST_F(Pop3Script, bytesAfterAStatusLineAreKeptForTheNextReply) {
  peer.server("+OK ready\r\n+OK user fine\r\n").client("USER alice\r\n").client("PASS secret\r\n").server("+OK\r\n");
  ASSERT_EQ(pop.log_in("h", "alice", "secret"), 1) << pop.error_text();
  EXPECT_EQ(peer.written(), "USER alice\r\nPASS secret\r\n");
  EXPECT_TRUE(peer.done());
}

// Password correction through the prompt.
struct PromptScript {
  std::vector<std::optional<LoginData>> answers;
  std::vector<LoginData> asked_with;
  std::vector<std::string> refusals;
  LoginPrompt prompt() {
    return [this](const LoginData& refused, std::string_view refusal) -> std::optional<LoginData> {
      asked_with.push_back(refused);
      refusals.emplace_back(refusal);
      if (asked_with.size() > answers.size()) return std::nullopt;
      return answers[asked_with.size() - 1];
    };
  }
};

TEST_F(Pop3Script, refusedPasswordIsCorrectedOnceAndTheCorrectionIsKept) {
  PromptScript script;
  script.answers = {LoginData{"alice2", "right"}};
  pop.set_login_prompt(script.prompt());
  peer.server("+OK\r\n")
      .client("USER alice\r\n")
      .server("+OK\r\n")
      .client("PASS wrong\r\n")
      .server("-ERR [AUTH] Authentication failed.\r\n")
      .client("USER alice2\r\n")
      .server("+OK\r\n")
      .client("PASS right\r\n")
      .server("+OK Logged in.\r\n");
  ASSERT_EQ(pop.log_in("h", "alice", "wrong"), 1) << pop.error_text();
  ASSERT_EQ(script.asked_with.size(), 1u);
  EXPECT_EQ(script.asked_with[0].user, "alice");
  EXPECT_EQ(script.asked_with[0].password, "wrong");
  EXPECT_EQ(script.refusals[0], "-ERR [AUTH] Authentication failed.\r\n");
  EXPECT_EQ(pop.user_name(), "alice2");
  EXPECT_EQ(pop.password(), "right");
  EXPECT_TRUE(peer.done());
}

TEST_F(Pop3Script, aSecondRefusalAsksAgainWithTheLastCorrection) {
  PromptScript script;
  script.answers = {LoginData{"alice", "try1"}, LoginData{"alice", "try2"}};
  pop.set_login_prompt(script.prompt());
  peer.server("+OK\r\n").client("USER alice\r\n").server("+OK\r\n").client("PASS try0\r\n").server("-ERR no\r\n");
  peer.client("USER alice\r\n").server("+OK\r\n").client("PASS try1\r\n").server("-ERR still no\r\n");
  peer.client("USER alice\r\n").server("+OK\r\n").client("PASS try2\r\n").server("+OK\r\n");
  ASSERT_EQ(pop.log_in("h", "alice", "try0"), 1) << pop.error_text();
  ASSERT_EQ(script.asked_with.size(), 2u);
  EXPECT_EQ(script.asked_with[1].password, "try1");
  EXPECT_EQ(script.refusals[1], "-ERR still no\r\n");
  EXPECT_EQ(pop.password(), "try2");
}

TEST_F(Pop3Script, givingUpTheCorrectionFailsAndForgetsTheLogInData) {
  struct Case {
    const char* name;
    bool with_prompt;
  };
  for (Case c : {Case{"cancelled", true}, Case{"no prompt", false}}) {
    SCOPED_TRACE(c.name);
    test::ScriptedPeer p;
    Pop3Session s(p);
    PromptScript script;  // no answers: the user cancels
    if (c.with_prompt) s.set_login_prompt(script.prompt());
    p.server("+OK\r\n").client("USER alice\r\n").server("+OK\r\n").client("PASS wrong\r\n").server("-ERR bad\r\n");
    EXPECT_EQ(s.log_in("h", "alice", "wrong"), 0);
    EXPECT_EQ(s.error_text(), "-ERR bad\r\n");
    EXPECT_EQ(s.user_name(), "");
    EXPECT_EQ(s.password(), "");
    EXPECT_EQ(script.asked_with.size(), c.with_prompt ? 1u : 0u);
    EXPECT_TRUE(p.done());
  }
}

TEST_F(Pop3Script, refusedCorrectedUserFailsWithItsReplyAndForgetsTheLogInData) {
  PromptScript script;
  script.answers = {LoginData{"mallory", "x"}};
  pop.set_login_prompt(script.prompt());
  peer.server("+OK\r\n").client("USER alice\r\n").server("+OK\r\n").client("PASS wrong\r\n").server("-ERR bad\r\n");
  peer.client("USER mallory\r\n").server("-ERR unknown user\r\n");
  EXPECT_EQ(pop.log_in("h", "alice", "wrong"), 0);
  EXPECT_EQ(pop.error_text(), "-ERR unknown user\r\n");
  EXPECT_EQ(pop.user_name(), "");
  EXPECT_EQ(pop.password(), "");
  EXPECT_TRUE(peer.done());
}

TEST_F(Pop3Script, lineBreaksInLogInDataAreRefusedWithoutSending) {
  peer.server("+OK\r\n");
  ASSERT_EQ(pop.connect("h"), 1);
  EXPECT_EQ(pop.user("alice\r\nDELE 1"), 0);
  EXPECT_EQ(pop.pass(std::string("pw\0x", 4)), 0);
  EXPECT_EQ(pop.error_text(), utf8_to_gb("登录名或密码中含有非法字符"));
  EXPECT_EQ(peer.written(), "");
}

TEST_F(Pop3Script, traceShowsTheConversationWithThePasswordMasked) {
  std::vector<std::string> lines;
  pop.set_trace([&](std::string_view l) { lines.emplace_back(l); });
  logged_in();
  const std::vector<std::string> expected = {"-- connect pop.example.com:110", "S: +OK ready", "C: USER alice",
                                             "S: +OK", "C: PASS ****", "S: +OK Logged in."};
  EXPECT_EQ(lines, expected);
}

// Faults a real server does not produce.
TEST_F(Pop3Script, silentServerTimesOutAndTheSessionSendsNothingMore) {
  logged_in();
  peer.client("UIDL\r\n").silent();
  EXPECT_EQ(pop.uidl_all(), 0);
  EXPECT_EQ(pop.error_text(), res::text(sid::kTimedOut));  // it timed out, it did not break the connection
  // A late reply would now be taken for the reply of the next command.
  EXPECT_EQ(pop.dele(1), 0);
  EXPECT_EQ(pop.quit(), 0);
  EXPECT_EQ(pop.error_text(), res::text(sid::kTimedOut));
  EXPECT_EQ(written_after_login(), "UIDL\r\n");
}

TEST_F(Pop3Script, garbageInsteadOfAStatusLineFailsAndStopsTheSession) {
  peer.server("HTTP/1.1 400 Bad Request\r\n");
  EXPECT_EQ(pop.log_in("h", "alice", "secret"), 0);
  EXPECT_EQ(pop.error_text(), "HTTP/1.1 400 Bad Request\r\n");
  EXPECT_EQ(peer.written(), "");
}

TEST_F(Pop3Script, garbageReplyToDeleIsNotTakenForSuccess) {
  logged_in();
  peer.client("DELE 1\r\n").server("1 00000001abcdef\r\n");
  EXPECT_EQ(pop.dele(1), 0);
  EXPECT_EQ(pop.quit(), 0);
  EXPECT_EQ(written_after_login(), "DELE 1\r\n");  // no QUIT that would commit anything
}

TEST_F(Pop3Script, serverClosingMidMailFailsTheTransfer) {
  logged_in();
  peer.client("RETR 1\r\n").server("+OK 5000 octets\r\nSubject: x\r\n\r\nfirst part").close();
  ASSERT_EQ(pop.retr(1), 1);
  EXPECT_EQ(pop.receive_more(), 0);
  EXPECT_EQ(pop.error_text(), kInterrupted);
  EXPECT_EQ(pop.quit(), 0);
}

TEST_F(Pop3Script, refusedRetrLeavesTheSessionUsable) {
  logged_in();
  peer.client("RETR 9\r\n").server("-ERR no such message\r\n").client("QUIT\r\n").server("+OK\r\n");
  EXPECT_EQ(pop.retr(9), 0);
  EXPECT_EQ(pop.error_text(), "-ERR no such message\r\n");
  EXPECT_EQ(pop.quit(), 1);
}

TEST_F(Pop3Script, statusLineWithoutLineEndIsBounded) {
  Pop3Session::Limits limits;
  limits.max_line = 4096;
  pop.set_limits(limits);
  peer.server("+OK " + std::string(10000, 'x'), 100);
  EXPECT_EQ(pop.connect("h"), 0);
  EXPECT_EQ(pop.error_text(), utf8_to_gb("服务器的回应行超过长度上限"));
}

TEST_F(Pop3Script, mailWithoutTerminatorIsBounded) {
  Pop3Session::Limits limits;
  limits.max_mail = 100000;
  pop.set_limits(limits);
  logged_in();
  std::string flood;
  while (flood.size() < 300000) flood += "an endless line of mail text\r\n";
  peer.client("RETR 1\r\n").server("+OK\r\n" + flood);
  pop.set_chunk_size(8192);
  int r = pop.retr(1);
  int receives = 0;
  while (r == Pop3Session::kMore && receives < 1000) {
    r = pop.receive_more();
    ++receives;
  }
  EXPECT_EQ(r, 0);
  EXPECT_EQ(pop.error_text(), utf8_to_gb("邮件超过长度上限"));
  EXPECT_TRUE(pop.data_text().empty());
  EXPECT_LT(receives, 20);
}

// The listed size only reserves room. A mail as listed keeps none spare; one
// longer than listed arrives whole; one far shorter does not keep the room
// once it is complete.
TEST_F(Pop3Script, listedSizeReservesRoomThatTheCompleteMailDoesNotKeep) {
  struct Case {
    const char* what;
    size_t listed;
    size_t sent;
    size_t spare;  // the most room left beyond the text
  };
  const Case cases[] = {
      {"as listed", 0, 300000, 0},  // listed: the size sent
      {"listed 60 MB, 2 KB sent", size_t{60} << 20, 2000, 2000 / 8 + Pop3Session::kReserveMargin},
      {"listed 100 bytes, 3 MB sent", 100, size_t{3} << 20, (size_t{3} << 20) / 8 + Pop3Session::kReserveMargin},
      {"listed with bare LF line ends", 296000, 300000, 300000 / 8 + Pop3Session::kReserveMargin},
  };
  logged_in();
  peer.client("UIDL\r\n").server("+OK\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n.\r\n");
  ASSERT_EQ(pop.uidl_all(), 1);
  std::vector<std::string> mails;
  std::string listing = "+OK\r\n";
  for (size_t k = 0; k < std::size(cases); ++k) {
    std::string& mail = mails.emplace_back();
    while (mail.size() < cases[k].sent) mail += "a line of the mail that is some seventy bytes long, give or take\r\n";
    listing += std::to_string(k + 1) + " " + std::to_string(cases[k].listed ? cases[k].listed : mail.size()) + "\r\n";
  }
  peer.client("LIST\r\n").server(listing + ".\r\n");
  ASSERT_EQ(pop.list_all(), 1);
  pop.set_chunk_size(65536);
  for (size_t k = 0; k < std::size(cases); ++k) {
    const Case& c = cases[k];
    const std::string& mail = mails[k];
    peer.client("RETR " + std::to_string(k + 1) + "\r\n").server("+OK\r\n" + mail + ".\r\n", 65536);
    int r = pop.retr(static_cast<int>(k + 1));
    while (r == Pop3Session::kMore) r = pop.receive_more();
    ASSERT_EQ(r, Pop3Session::kComplete) << c.what;
    EXPECT_EQ(pop.data_text(), mail) << c.what;
    EXPECT_LE(pop.data_text().capacity(), mail.size() + c.spare) << c.what;
  }
  EXPECT_TRUE(peer.done());
}

TEST_F(Pop3Script, listingWithoutTerminatorIsBounded) {
  Pop3Session::Limits limits;
  limits.max_listing = 50000;
  pop.set_limits(limits);
  logged_in();
  std::string flood;
  for (int i = 1; flood.size() < 200000; ++i) flood += std::to_string(i) + " uid" + std::to_string(i) + "\r\n";
  peer.client("UIDL\r\n").server("+OK\r\n" + flood);
  EXPECT_EQ(pop.uidl_all(), 0);
  EXPECT_EQ(pop.error_text(), utf8_to_gb("邮件标识列表超过长度上限"));
  EXPECT_EQ(pop.message_count(), 0);
}

// Listings.
TEST_F(Pop3Script, uidlListingOfThreeGivesThreeIdentifiersInOrder) {
  logged_in();
  peer.client("UIDL\r\n").server("+OK\r\n1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00WBw1Ph7x7\r\n3 zz-3\r\n.\r\n", 7);
  ASSERT_EQ(pop.uidl_all(), 1) << pop.error_text();
  EXPECT_EQ(pop.message_count(), 3);
  EXPECT_EQ(pop.unique_id(1), "whqtswO00WBw418f9t5JxYwZ");
  EXPECT_EQ(pop.unique_id(2), "QhdPYR:00WBw1Ph7x7");
  EXPECT_EQ(pop.unique_id(3), "zz-3");
  EXPECT_EQ(pop.unique_id(0), "");
  EXPECT_EQ(pop.unique_id(4), "");
  EXPECT_EQ(pop.find_message("zz-3"), 3);
  EXPECT_EQ(pop.find_message("zz"), 0);
}

TEST_F(Pop3Script, emptyMailboxListsNothing) {
  logged_in();
  peer.client("UIDL\r\n").server("+OK 0 messages\r\n.\r\n");
  ASSERT_EQ(pop.uidl_all(), 1);
  EXPECT_EQ(pop.message_count(), 0);
}

// After a DELE in the same session the server skips the deleted number; the
// listed numbers, not the positions, name the messages.
TEST_F(Pop3Script, listedMessageNumbersAreKeptBesideTheIdentifiers) {
  logged_in();
  peer.client("UIDL\r\n").server("+OK\r\n1 aaa\r\n3 ccc\r\nbroken-line\r\n4 ddd\r\n.\r\n");
  ASSERT_EQ(pop.uidl_all(), 1);
  EXPECT_EQ(pop.message_count(), 3);
  EXPECT_EQ(pop.unique_id(2), "ccc");
  EXPECT_EQ(pop.message_number(2), 3);
  EXPECT_EQ(pop.find_message("ddd"), 4);
  EXPECT_EQ(pop.message_number(9), 0);
}

TEST_F(Pop3Script, listOneStoresTheSizeAsTheOnlyEntry) {
  struct Case {
    std::string reply;
    std::uint32_t size;
  };
  const Case cases[] = {{"+OK 5 2048\r\n", 2048}, {"+OK 5\t77\r\n", 77}, {"+OK 2048\r\n", 0}, {"+OK\r\n", 0},
                        {"+OK 5 99999999999\r\n", UINT32_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    test::ScriptedPeer p;
    Pop3Session s(p);
    EXPECT_EQ(s.size(0), 0u);
    p.server("+OK\r\n").client("LIST 5\r\n").server(c.reply);
    ASSERT_EQ(s.connect("h"), 1);
    ASSERT_EQ(s.list_one(5), 1);
    EXPECT_EQ(s.size(0), c.size);
    EXPECT_EQ(s.size(1), c.size);
    EXPECT_EQ(s.size(7), c.size);
  }
}

// Mail transfers.
TEST_F(Pop3Script, mailArrivingWithItsStatusLineCompletesAtOnce) {
  logged_in();
  const std::string body = "Subject: hi\r\n\r\nbody\r\n";
  peer.client("RETR 1\r\n").server("+OK 21 octets\r\n" + body + ".\r\n");
  EXPECT_EQ(pop.retr(1), 2);
  EXPECT_EQ(pop.data_length(), body.size());
  EXPECT_EQ(pop.data_text(), body);
}

TEST_F(Pop3Script, emptyMailCompletes) {
  logged_in();
  peer.client("TOP 1 0\r\n").server("+OK\r\n.\r\n");
  EXPECT_EQ(pop.top(1, 0), 2);
  EXPECT_EQ(pop.data_length(), 0u);
  EXPECT_EQ(written_after_login(), "TOP 1 0\r\n");
}

TEST_F(Pop3Script, terminatorSplitAfterTheDotIsFound) {
  logged_in();
  peer.client("RETR 2\r\n").server("+OK\r\nline one\r\n.").server("\r\n");
  pop.set_chunk_size(2);
  EXPECT_EQ(pop.retr(2), 1);
  EXPECT_EQ(pop.receive_more(), 2);
  EXPECT_EQ(pop.data_text(), "line one\r\n");
  EXPECT_EQ(pop.data_length(), 10u);
}

// The same mail cut into receives of every size gives the same text:
// stuffed dots removed, the "." line ending it, nothing else touched.
TEST_F(Pop3Script, mailTextIsTheSameHoweverTheReceivesFall) {
  const std::string wire =
      "From: a@b\r\n\r\n..\r\n...dots\r\n.x\r\n.\rx\r\nend of text .\r\n.\r\n";
  const std::string mail = "From: a@b\r\n\r\n.\r\n..dots\r\nx\r\n\rx\r\nend of text .\r\n";
  for (size_t chunk : {1, 2, 3, 4, 7, 13, 0}) {
    SCOPED_TRACE(chunk);
    test::ScriptedPeer p;
    Pop3Session s(p);
    s.set_chunk_size(chunk ? static_cast<std::uint32_t>(chunk) : 4096);
    p.server("+OK\r\n").client("RETR 1\r\n").server("+OK\r\n" + wire, chunk).client("QUIT\r\n").server("+OK\r\n");
    ASSERT_EQ(s.connect("h"), 1);
    int r = s.retr(1);
    while (r == Pop3Session::kMore) r = s.receive_more();
    ASSERT_EQ(r, 2) << s.error_text();
    EXPECT_EQ(s.data_text(), mail);
    EXPECT_EQ(s.data_length(), mail.size());
    EXPECT_EQ(s.quit(), 1);
    EXPECT_TRUE(p.done());
  }
}

TEST_F(Pop3Script, lineFeedOnlyLinesEndTheMailToo) {
  logged_in();
  peer.client("RETR 1\r\n").server("+OK\n..a\nb\n.\n");
  EXPECT_EQ(pop.retr(1), 2);
  EXPECT_EQ(pop.data_text(), ".a\nb\n");
}

TEST_F(Pop3Script, eachReceiveAsksForAtMostTheChunkSize) {
  logged_in();
  const std::string line = std::string(98, 'm') + "\r\n";
  std::string mail;
  for (int i = 0; i < 30; ++i) mail += line;
  peer.client("RETR 1\r\n").server("+OK\r\n").server(mail + ".\r\n");
  pop.set_chunk_size(256);
  ASSERT_EQ(pop.retr(1), 1);
  std::uint32_t last = pop.data_length();
  int r = Pop3Session::kMore;
  int calls = 0;
  while (r == Pop3Session::kMore) {
    r = pop.receive_more();
    EXPECT_LE(pop.data_length() - last, 256u);
    last = pop.data_length();
    ++calls;
  }
  EXPECT_EQ(r, 2);
  EXPECT_EQ(pop.data_text(), mail);
  EXPECT_GE(calls, 12);
}

TEST_F(Pop3Script, commandDuringATransferFinishesTheMailFirst) {
  logged_in();
  peer.client("RETR 1\r\n").server("+OK\r\nabc\r\n").server("def\r\n.\r\n").client("DELE 1\r\n").server("+OK\r\n");
  ASSERT_EQ(pop.retr(1), 1);
  EXPECT_EQ(pop.dele(1), 1);
  EXPECT_EQ(pop.data_text(), "abc\r\ndef\r\n");
  EXPECT_EQ(written_after_login(), "RETR 1\r\nDELE 1\r\n");
}

TEST_F(Pop3Script, receiveMoreWithoutATransferFails) {
  logged_in();
  EXPECT_EQ(pop.receive_more(), 0);
  EXPECT_FALSE(pop.error_text().empty());
  peer.client("QUIT\r\n").server("+OK\r\n");
  EXPECT_EQ(pop.quit(), 1);
}

// CAPA: a listing, a server that does not know the command, a lost
// connection; the command goes out once per connection.
TEST_F(Pop3Script, capaIsReadOncePerConnection) {
  struct Case {
    const char* reply;
    int result;
    std::vector<std::string> list;
    bool pipelining;
  };
  const Case cases[] = {
      {"+OK\r\nTOP\r\nUIDL\r\npipelining\r\nSASL PLAIN LOGIN\r\n.\r\n", 1,
       {"TOP", "UIDL", "pipelining", "SASL PLAIN LOGIN"}, true},
      {"+OK Capability list follows\r\n.\r\n", 1, {}, false},
      {"-ERR unknown command\r\n", 1, {}, false},
      {"+OK\r\nPIPELININGX\r\n", 0, {}, false},  // connection lost mid-list
  };
  for (const Case& c : cases) {
    test::ScriptedPeer server;
    Pop3Session session(server);
    server.server("+OK ready\r\n").client("CAPA\r\n").server(c.reply);
    if (c.result == 0) server.close();
    ASSERT_EQ(session.connect("h"), 1);
    EXPECT_EQ(session.capa(), c.result) << c.reply;
    EXPECT_EQ(session.capa(), c.result) << "asked again";
    EXPECT_EQ(session.capabilities(), c.list) << c.reply;
    EXPECT_EQ(session.has_capability("PIPELINING"), c.pipelining) << c.reply;
    EXPECT_EQ(server.written(), "CAPA\r\n") << c.reply;
    if (c.result == 1) {
      EXPECT_EQ(session.error_text(), "") << c.reply;
    }
  }
}

TEST_F(Pop3Script, aNewConnectionAsksForCapaAgain) {
  peer.server("+OK\r\n").client("CAPA\r\n").server("+OK\r\nUIDL\r\n.\r\n");
  ASSERT_EQ(pop.connect("h"), 1);
  ASSERT_EQ(pop.capa(), 1);
  peer.server("+OK\r\n").client("CAPA\r\n").server("+OK\r\nTOP\r\n.\r\n");
  ASSERT_EQ(pop.connect("h"), 1);
  ASSERT_EQ(pop.capa(), 1);
  EXPECT_EQ(pop.capabilities(), std::vector<std::string>{"TOP"});
  EXPECT_TRUE(peer.done());
}

// A server that trickles a mail fails the transfer with its own text, and the
// session sends nothing more.
TEST_F(Pop3Script, tricklingMailFailsAsTooSlow) {
  using namespace std::chrono_literals;
  ReplyReader::Clock::time_point now{};
  pop.set_clock([&now] { return now; });
  logged_in();
  peer.client("RETR 1\r\n").server("+OK\r\n" + std::string(100, 'm'), 1).trickle(5s).trickle_on(now);
  int r = pop.retr(1);
  while (r == Pop3Session::kMore) r = pop.receive_more();
  EXPECT_EQ(r, 0);
  EXPECT_EQ(pop.error_text(), res::text(sid::kTooSlow) + "pop.example.com");
  EXPECT_EQ(pop.quit(), 0);
  EXPECT_EQ(written_after_login(), "RETR 1\r\n");
}

}  // namespace
}  // namespace pw

namespace pw {
namespace {

// What a server sends is held in bounded, compact form: a CAPA reply beyond
// its small bound counts as none (the session goes on, the trace says so),
// LIST keeps no more entries than UIDL listed, and a listing of too many
// entries fails.
TEST(Pop3Bounds, repliesBeyondTheirBoundsAreNotHeld) {
  const std::string long_capa = "+OK\r\n" + std::string(5000, 'C') + "\r\nPIPELINING\r\n.\r\n";
  test::ScriptedPeer peer;
  Pop3Session pop{peer};
  Pop3Session::Limits limits;
  limits.max_messages = 3;
  pop.set_limits(limits);
  std::vector<std::string> trace;
  pop.set_trace([&](std::string_view l) { trace.emplace_back(l); });
  peer.server("+OK\r\n").client("CAPA\r\n").server(long_capa);
  ASSERT_EQ(pop.connect("h"), 1);
  EXPECT_EQ(pop.capa(), 1);
  EXPECT_TRUE(pop.capabilities().empty());
  EXPECT_TRUE(std::any_of(trace.begin(), trace.end(), [](const std::string& l) { return l.find("CAPA") == 3; }));

  peer.client("UIDL\r\n").server("+OK\r\n1 a\r\n2 " + std::string(100, 'b') + "\r\n.\r\n");
  ASSERT_EQ(pop.uidl_all(), 1);
  EXPECT_EQ(pop.unique_id(2).size(), Pop3Session::kMaxUidLength);
  peer.client("LIST\r\n").server("+OK\r\n1 10\r\n2 20\r\n3 30\r\n4 40\r\n.\r\n");
  ASSERT_EQ(pop.list_all(), 1);
  EXPECT_EQ(pop.size_of_message(2), 20);
  EXPECT_EQ(pop.size_of_message(3), -1);  // beyond the two listed identifiers

  peer.client("UIDL\r\n").server("+OK\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n.\r\n");
  EXPECT_EQ(pop.uidl_all(), 0);
  EXPECT_EQ(pop.message_count(), 0);
  EXPECT_TRUE(peer.done());
}

}  // namespace
}  // namespace pw
