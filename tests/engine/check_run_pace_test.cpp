// Over a slow line each reply, pipelined or not, is measured on its own and
// fails only when it stops moving; the mails that came in whole before a
// failure are acted on. Time passes on the sessions' test clock.
#include <gtest/gtest.h>

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

class CheckRunPace : public CheckRunFixture {};

TEST_F(CheckRunPace, slowLineFetchesEveryPipelinedMailAndOneThatStopsMovingFailsAlone) {
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
      EXPECT_NE(host.notices[0].find(res::text(62204)), std::string::npos);
      // About 12 s a mail before it, then at most 90 s for the one that stalls.
      EXPECT_LE(pop3_now - start, 12s * (c.trickling - 1) + 10s + 90s);
    }
  }
}

}  // namespace
}  // namespace pw::test
