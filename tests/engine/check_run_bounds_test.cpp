// A check's bounds. Over a slow line each reply, pipelined or not, is
// measured on its own and fails only when it stops moving; the mails that
// came in whole before a failure are acted on. Time passes on the sessions'
// test clock. A check takes a bounded number of new mails.
#include <gtest/gtest.h>

#include <algorithm>

#include "check_run_fixture.h"
#include "res/string_table.h"

namespace pw::test {
namespace {

using namespace std::chrono_literals;

std::string mail_of_size(int k, size_t size) {
  std::string mail = small_mail(k);
  while (mail.size() < size) mail += std::string(70, 'x') + "\r\n";
  return mail;
}

class CheckRunBounds : public CheckRunFixture {};

TEST_F(CheckRunBounds, slowLineFetchesEveryPipelinedMailAndOneThatStopsMovingFailsAlone) {
  struct Case {
    const char* name;
    int trickling;  // the mail whose reply comes a byte a second; 0: none
    size_t kept;
  };
  const std::vector<Case> cases = {
      {"12 mails of 64 KB at 6 KB/s", 0, 12},
      {"the fifth comes a byte a second", 5, 4},
  };
  add_rule(kFetchWhole);
  constexpr int kMails = 12;
  constexpr size_t kSize = 64 * 1024;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> uids;
    std::vector<std::pair<int, size_t>> sizes;
    std::string commands;
    for (int n = 1; n <= kMails; ++n) {
      uids.push_back(std::string(c.name) + std::to_string(n));
      sizes.emplace_back(n, mail_of_size(n, kSize).size());
      commands += "RETR " + std::to_string(n) + "\r\n";
    }
    ScriptedPeer& p = next_session();
    p.trickle(1s).trickle_on(pop3_now);
    pop_login(p);
    pop_uidl(p, uids);
    pop_list_all(p, sizes);
    pop_capa(p, {"UIDL", "PIPELINING"});
    p.client(commands);
    for (int n = 1; n <= (c.trickling ? c.trickling : kMails); ++n)
      p.server("+OK\r\n" + mail_of_size(n, kSize) + ".\r\n", n == c.trickling ? 1 : 6000);
    if (!c.trickling) pop_quit(p);
    const auto start = pop3_now;
    host.notices.clear();

    const RunOutcome outcome = check();

    std::vector<std::string> seen = seen_file_lines();
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [&](const std::string& u) { return u.starts_with(c.name); }),
              static_cast<long>(c.kept));
    EXPECT_EQ(outcome.ok(), c.trickling == 0);
    if (c.trickling) {
      ASSERT_EQ(host.notices.size(), 1u);
      EXPECT_NE(host.notices[0].find(res::text(sid::kTooSlow)), std::string::npos);
      // About 12 s a mail before it, then at most 90 s for the one that stalls.
      EXPECT_LE(pop3_now - start, 12s * (c.trickling - 1) + 10s + 90s);
    }
  }
}

TEST_F(CheckRunBounds, aCheckTakesABoundedNumberOfNewMailsAndTheNextTheRest) {
  add_rule(kFetchHeader);
  CheckServices services{mailboxes, log, local_mail, verifier, clock, dial_up, host};
  services.pop3.stream = [this] { return std::make_unique<PeerStream>(*peers[opened++], receive_sizes); };
  services.max_new_mails = 2;
  CheckRun bounded(services);
  ScriptedPeer& first = next_session();
  pop_login(first);
  pop_uidl(first, {"u1", "u2", "u3"});
  pop_capa(first, {});
  pop_top(first, 1, "Subject: one\r\n\r\n");
  pop_top(first, 2, "Subject: two\r\n\r\n");
  pop_quit(first);
  EXPECT_TRUE(bounded.run(nullptr, settings()).ok());
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>({"u1", "u2"}));
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_EQ(log_records()[0].operation, res::text(sid::kNewMailsLeft) + "1");

  ScriptedPeer& second = next_session();
  pop_login(second);
  pop_uidl(second, {"u1", "u2", "u3"});
  pop_top(second, 3, "Subject: three\r\n\r\n");
  pop_quit(second);
  EXPECT_TRUE(bounded.run(nullptr, settings()).ok());
  expect_sessions_done();
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>({"u1", "u2", "u3"}));
}

// The listed size is the server's word. The receive buffer grows with what
// arrives, whatever the listing claims, and a mail longer than listed still
// arrives whole and is acted on.
TEST_F(CheckRunBounds, receiveRoomFollowsWhatArrivesNotWhatWasListed) {
  struct Case {
    const char* name;
    size_t listed;
    size_t sent;
  };
  const Case cases[] = {
      {"listed as sent", 300000, 300000},
      {"listed 60 MB, sends 2 KB", size_t{60} << 20, 2000},
      {"listed 100 bytes, sends 1 MB", 100, size_t{1} << 20},
  };
  add_rule(kFetchWhole, bit(ActionKind::confirm), 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string mail = mail_of_size(1, c.sent);
    ScriptedPeer& p = next_session();
    pop_login(p);
    pop_uidl(p, {c.name});
    pop_list_all(p, {{1, c.listed}});
    pop_retr(p, 1, mail, 16384);
    pop_quit(p);
    std::string held;
    host.on_confirm = [&](std::span<MailProcessor* const> mails) {
      ASSERT_EQ(mails.size(), 1u);
      held = mails[0]->content();
    };
    receive_sizes.clear();

    EXPECT_TRUE(check().ok());

    expect_sessions_done();
    EXPECT_EQ(held, mail);
    EXPECT_LE(*std::max_element(receive_sizes.begin(), receive_sizes.end()), std::max<size_t>(65536, mail.size()));
  }
}

}  // namespace
}  // namespace pw::test
