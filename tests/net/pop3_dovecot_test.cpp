// Pop3Session against a real Dovecot on loopback (inside the private network
// namespace): what the scripted conversations cannot show.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "res/string_table.h"
#include "support/dovecot_server.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

std::string sample_mail(int i) {
  return "From: sender@example.test\nTo: alice@example.test\nSubject: mail " + std::to_string(i) +
         "\n\nHello number " + std::to_string(i) + ".\n";
}

// A mail of about `bytes` bytes with lines of 76 characters.
std::string large_mail(size_t bytes) {
  std::string m = "From: big@example.test\nSubject: large\n\n";
  for (int n = 0; m.size() < bytes; ++n) {
    std::string line = std::to_string(n) + ":";
    line.resize(76, static_cast<char>('A' + n % 26));
    m += line + "\n";
  }
  return m;
}

class Pop3Dovecot : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.start({{"alice", "secret"}})) << server.error(); }

  // Runs RETR n to its end; returns the result of the last call.
  static int fetch(Pop3Session& s, int n) {
    int r = s.retr(n);
    while (r == Pop3Session::kMore) r = s.receive_more();
    return r;
  }

  test::DovecotServer server;
  LineSocket socket{5s};
  Pop3Session pop{socket};
};

TEST_F(Pop3Dovecot, logsInListsIdentifiersAndSizes) {
  for (int i = 1; i <= 3; ++i) server.deliver("alice", sample_mail(i));
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "secret"), 1) << pop.error_text();
  ASSERT_EQ(pop.capa(), 1) << pop.error_text();
  EXPECT_TRUE(pop.has_capability("PIPELINING") && pop.has_capability("UIDL")) << pop.capabilities().size();
  ASSERT_EQ(pop.uidl_all(), 1) << pop.error_text();
  ASSERT_EQ(pop.message_count(), 3);
  std::set<std::string> ids;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(pop.unique_id(i).size(), 16u) << pop.unique_id(i);
    EXPECT_EQ(pop.message_number(i), i);
    ids.emplace(pop.unique_id(i));
  }
  EXPECT_EQ(ids.size(), 3u);
  ASSERT_EQ(pop.list_one(2), 1) << pop.error_text();
  EXPECT_EQ(pop.size(0), test::DovecotServer::wire_form(sample_mail(2)).size());
  EXPECT_EQ(pop.quit(), 1) << pop.error_text();
}

TEST_F(Pop3Dovecot, wrongPasswordCorrectedByTheUserLogsIn) {
  int asked = 0;
  pop.set_login_prompt([&](const LoginData& refused, std::string_view refusal) -> std::optional<LoginData> {
    ++asked;
    EXPECT_EQ(refused.password, "wrong");
    EXPECT_EQ(refusal.substr(0, 4), "-ERR");
    return LoginData{"alice", "secret"};
  });
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "wrong"), 1) << pop.error_text();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(pop.password(), "secret");
  ASSERT_EQ(pop.uidl_all(), 1) << pop.error_text();
  EXPECT_EQ(pop.quit(), 1);
}

TEST_F(Pop3Dovecot, wrongPasswordWithTheCorrectionCancelledFails) {
  pop.set_login_prompt([](const LoginData&, std::string_view) { return std::optional<LoginData>(); });
  EXPECT_EQ(pop.log_in(server.server_field(), "alice", "wrong"), 0);
  EXPECT_EQ(pop.error_text().substr(0, 4), "-ERR");
  EXPECT_EQ(pop.user_name(), "");
  EXPECT_EQ(pop.password(), "");
}

TEST_F(Pop3Dovecot, topWithNoLinesGivesTheHeader) {
  const std::string header = "From: a@example.test\nSubject: only the head\n";
  server.deliver("alice", header + "\nbody line\n");
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "secret"), 1) << pop.error_text();
  int r = pop.top(1, 0);
  while (r == Pop3Session::kMore) r = pop.receive_more();
  ASSERT_EQ(r, 2) << pop.error_text();
  EXPECT_EQ(pop.data_text(), test::DovecotServer::wire_form(header + "\n"));
  EXPECT_EQ(pop.data_length(), pop.data_text().size());
}

TEST_F(Pop3Dovecot, retrGivesSmallAndLargeMailsByteForByte) {
  const std::string large = large_mail(6 << 20);
  server.deliver("alice", sample_mail(1));
  server.deliver("alice", large);
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "secret"), 1) << pop.error_text();
  ASSERT_EQ(fetch(pop, 1), 2) << pop.error_text();
  EXPECT_EQ(pop.data_text(), test::DovecotServer::wire_form(sample_mail(1)));
  for (std::uint32_t chunk : {2048u, 65536u}) {
    pop.set_chunk_size(chunk);
    ASSERT_EQ(fetch(pop, 2), 2) << pop.error_text();
    EXPECT_EQ(pop.data_length(), test::DovecotServer::wire_form(large).size());
    EXPECT_TRUE(pop.data_text() == test::DovecotServer::wire_form(large)) << "chunk " << chunk;
  }
  EXPECT_EQ(pop.quit(), 1);
}

TEST_F(Pop3Dovecot, dotStuffedLinesSurviveRetr) {
  const std::string mail = "Subject: dots\n\n.\n..\n.hidden\n . \n...\nlast .\n.";
  server.deliver("alice", mail);
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "secret"), 1) << pop.error_text();
  ASSERT_EQ(fetch(pop, 1), 2) << pop.error_text();
  // The stored mail does not end in a line end; the server adds one.
  EXPECT_EQ(pop.data_text(), test::DovecotServer::wire_form(mail + "\n"));
}

TEST_F(Pop3Dovecot, deleThenQuitRemovesTheMail) {
  for (int i = 1; i <= 3; ++i) server.deliver("alice", sample_mail(i));
  ASSERT_EQ(pop.log_in(server.server_field(), "alice", "secret"), 1) << pop.error_text();
  ASSERT_EQ(pop.uidl_all(), 1);
  const std::string gone(pop.unique_id(2));
  ASSERT_EQ(pop.dele(2), 1) << pop.error_text();
  EXPECT_EQ(pop.retr(2), 0);  // a deleted message is refused in the same session
  EXPECT_EQ(pop.error_text().substr(0, 4), "-ERR");
  ASSERT_EQ(pop.quit(), 1) << pop.error_text();
  EXPECT_EQ(server.message_count("alice"), 2u);

  LineSocket socket2{5s};
  Pop3Session again{socket2};
  ASSERT_EQ(again.log_in(server.server_field(), "alice", "secret"), 1) << again.error_text();
  ASSERT_EQ(again.uidl_all(), 1);
  EXPECT_EQ(again.message_count(), 2);
  EXPECT_EQ(again.find_message(gone), 0);
  EXPECT_EQ(again.quit(), 1);
}

TEST_F(Pop3Dovecot, stoppedServerCannotBeReached) {
  const std::string field = server.server_field();
  server.stop();
  EXPECT_EQ(pop.log_in(field, "alice", "secret"), 0);
  EXPECT_EQ(pop.error_text(), res::text(sid::kCannotConnect));
}

// The fixture itself, which the engine tests build on.
TEST(Pop3DovecotFixture, serversRunSideBySideAndLeaveNothingBehind) {
  std::string field;
  {
    test::DovecotServer a, b;
    ASSERT_TRUE(a.start({{"alice", "secret"}})) << a.error();
    ASSERT_TRUE(b.start({{"bob", "other"}})) << b.error();
    EXPECT_NE(a.port(), b.port());
    b.deliver("bob", sample_mail(1));
    EXPECT_EQ(b.message_count("bob"), 1u);
    LineSocket s1{5s}, s2{5s};
    Pop3Session on_a{s1}, on_b{s2};
    EXPECT_EQ(on_a.log_in(a.server_field(), "bob", "other"), 0);
    ASSERT_EQ(on_b.log_in(b.server_field(), "bob", "other"), 1) << on_b.error_text();
    ASSERT_EQ(on_b.uidl_all(), 1);
    EXPECT_EQ(on_b.message_count(), 1);
    EXPECT_EQ(on_b.quit(), 1);
    field = b.server_field();
  }
  LineSocket s{5s};
  Pop3Session late{s};
  EXPECT_EQ(late.connect(field), 0);
}

}  // namespace
}  // namespace pw
