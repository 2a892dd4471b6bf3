// Mailboxes checked side by side: which mailbox is taken when, the order of
// the confirmation windows, and a real check of several mailboxes at once
// (the engine tests run under ThreadSanitizer in CI) giving what one after
// the other gives.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "check_run_fixture.h"
#include "engine/side_by_side.h"
#include "net/line_socket.h"
#include "support/dovecot_server.h"

namespace pw::test {
namespace {

TEST(MailboxTurns, takesInOrderPassingOverMailboxesWhoseServerAndLoginAreBusy) {
  struct Case {
    std::vector<std::string> keys;
    std::vector<std::string> steps;  // "t" take (the expected index or "-" for none left), "dN" done(N)
  };
  const Case cases[] = {
      {{"a", "b", "c"}, {"t0", "t1", "t2", "t-"}},
      {{"a", "b", "a", "c"}, {"t0", "t1", "t3", "d0", "t2", "t-"}},
      {{"a", "a"}, {"t0", "d0", "t1", "d1", "t-"}},
  };
  for (const Case& c : cases) {
    MailboxTurns turns(c.keys);
    for (const std::string& step : c.steps) {
      if (step[0] == 'd') {
        turns.done(static_cast<size_t>(step[1] - '0'));
        continue;
      }
      // Nothing to wait for: every expected take is free or the last.
      std::optional<size_t> k = turns.take();
      if (step[1] == '-') {
        EXPECT_FALSE(k.has_value()) << c.keys.size();
      } else {
        ASSERT_TRUE(k.has_value()) << step;
        EXPECT_EQ(*k, static_cast<size_t>(step[1] - '0')) << step;
      }
    }
  }
}

TEST(MailboxTurns, aMailboxAsksOnlyAfterEveryOneBeforeItAskedOrEnded) {
  MailboxTurns turns({"a", "b", "c"});
  for (int k = 0; k < 3; ++k) (void)turns.take();
  std::atomic<bool> asking{false};
  std::thread third([&] {
    turns.wait_to_ask(2);
    asking = true;
  });
  turns.asked(1);  // out of order: the first has not asked yet
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(asking.load());
  turns.done(0);  // ended without asking
  third.join();
  EXPECT_TRUE(asking.load());
}

// A real server's stream that counts the sessions open per login name.
class CountingStream final : public ByteStream {
 public:
  struct Counts {
    std::mutex mutex;
    std::map<std::string, int> open;
    std::map<std::string, int> most;
    int most_at_once = 0;
    int all = 0;
  };
  explicit CountingStream(Counts& counts) : counts_(counts) {}
  ~CountingStream() override {
    std::lock_guard lock(counts_.mutex);
    if (!login_.empty()) --counts_.open[login_];
    if (!login_.empty()) --counts_.all;
  }
  bool connect(const std::string& host, int port) override { return socket_.connect(host, port); }
  int send(std::string_view data) override {
    if (login_.empty() && data.starts_with("USER ")) {
      login_ = std::string(data.substr(5, data.find('\r') - 5));
      std::lock_guard lock(counts_.mutex);
      counts_.most[login_] = std::max(counts_.most[login_], ++counts_.open[login_]);
      counts_.most_at_once = std::max(counts_.most_at_once, ++counts_.all);
    }
    return socket_.send(data);
  }
  int receive(char* buffer, size_t capacity) override { return socket_.receive(buffer, capacity); }

 private:
  Counts& counts_;
  LineSocket socket_;
  std::string login_;
};

// Accounts u0 .. u3 on one Dovecot, plus one more with u0's login, each with
// a rule that backs every mail up and asks first; checked with `at_once`.
struct SideBySideRun : CheckRunFixture {
  using CheckRunFixture::account;
  using CheckRunFixture::host;
  using CheckRunFixture::mailboxes;
  void TestBody() override {}
  explicit SideBySideRun(const DovecotServer& pop) {
    for (int k = 0; k < 5; ++k) {
      MailboxRecord r = account_record("u" + std::to_string(k) + "@home.test", "pop-secret", pop.server_field(),
                                       "127.0.0.1:1");
      if (k == 4) r.login_name = "u0";  // a second account on the first inbox
      mailboxes.create(r, false);
    }
    Rule rule;
    rule.id = 1;
    rule.fetch_need = kFetchWhole;
    rule.action_mask = bit(ActionKind::confirm) | bit(ActionKind::backup);
    rule.confirm_seconds = 5;
    rule.backup_dir = backups.path().string();
    rules.push_back(rule);
    // Not the fixture's own account: it has no rule and is passed by.
    for (const auto& a : mailboxes.accounts())
      if (a != account) EXPECT_TRUE(mailboxes.bind(*a, 1));
  }
  RunOutcome check(int at_once) {
    RunSettings s = settings();
    s.mailboxes_at_once = at_once;
    CheckRun real{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host, {},
                                Pop3Options{.stream = [this] { return std::make_unique<CountingStream>(counts); }}}};
    return real.run(nullptr, s);
  }
  // Per account, in order: how many mails were backed up for it.
  std::vector<size_t> saved_per_account() const {
    std::map<std::string, size_t> saved;
    for (const LocalMailRecord& r : local_mail.records()) ++saved[r.account];
    std::vector<size_t> out;
    for (const auto& a : mailboxes.accounts())
      if (a != account) out.push_back(saved[a->address()]);
    return out;
  }
  TempDir backups;
  CountingStream::Counts counts;
};

TEST(SideBySide, fourMailboxesAtOnceActAsOneAfterTheOtherAndAskInOrder) {
  DovecotServer pop;
  for (int u = 0; u < 4; ++u)
    for (int k = 0; k < 6 + u; ++k) pop.deliver("u" + std::to_string(u), small_mail(10 * u + k));
  std::vector<DovecotServer::User> users;
  for (int u = 0; u < 4; ++u) users.push_back({"u" + std::to_string(u), "pop-secret"});
  ASSERT_TRUE(pop.start(users)) << pop.error();

  std::map<int, std::vector<size_t>> saved;
  std::map<int, std::vector<std::string>> asked;
  for (int at_once : {1, 4}) {
    SCOPED_TRACE(at_once);
    SideBySideRun r(pop);
    const RunOutcome outcome = r.check(at_once);
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.accounts_checked, 5u);
    saved[at_once] = r.saved_per_account();
    for (const auto& c : r.host.confirmations) asked[at_once].push_back(c.address);
    EXPECT_EQ(r.counts.most["u0"], 1) << "two mailboxes with one login were checked at once";
    if (at_once == 1) EXPECT_EQ(r.counts.most_at_once, 1);
    // Every account's own record of what it saw reached its file.
    for (const auto& a : r.mailboxes.accounts())
      if (a != r.account) EXPECT_TRUE(read_file(a->seen().file()).has_value()) << a->address();
  }
  EXPECT_EQ(saved[4], saved[1]);
  // The fifth account has u0's login and a seen list of its own.
  EXPECT_EQ(saved[1], (std::vector<size_t>{6, 7, 8, 9, 6}));
  EXPECT_EQ(asked[1], (std::vector<std::string>{"u0@home.test", "u1@home.test", "u2@home.test", "u3@home.test",
                                                "u4@home.test"}));
  EXPECT_EQ(asked[4], asked[1]);
}

}  // namespace
}  // namespace pw::test
