// Check-run benchmarks against a real Dovecot on loopback (run inside
// scripts/netns.sh, as root like CI). The mailboxes are shaped like real
// ones: mails of about 20 KB from seven senders, arriving in bursts.
//  (a) a first check of 2,000 new mails with a rule that backs each up;
//  (b) the same with a body-pattern rule that saves key information;
//  (c) a "nothing new" check of 100,000 mails (PW_BENCH_BULK_MAILS);
// beside a raw UIDL + RETR client (one after another and pipelined),
// fetchmail (keep, uidl, bsmtp to a file) and a raw UIDL transfer; and (a)
// again on 20,000 mails (PW_BENCH_LARGE_MAILS) to show the cost is linear.
// The ratios and the resident peaks are printed at the end.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "engine/check_run.h"
#include "engine/headless_host.h"
#include "net/pop3_session.h"
#include "bench_support.h"
#include "raw_pop3.h"
#include "net/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

constexpr int kWholeMails = 2000;
constexpr size_t kMailSize = 20 * 1024;
constexpr int kSenders = 7;

size_t env_count(const char* name, size_t fallback) {
  const char* v = std::getenv(name);
  return v ? std::strtoul(v, nullptr, 10) : fallback;
}
size_t bulk_mails() { return env_count("PW_BENCH_BULK_MAILS", 100000); }
int large_mails() { return static_cast<int>(env_count("PW_BENCH_LARGE_MAILS", 20000)); }

// Mail k of a mailbox: the senders take turns in bursts of 20 mails.
std::string bench_mail(size_t k, size_t size) {
  const size_t sender = k / 20 % kSenders;
  std::string m = "From: Sender <sender" + std::to_string(sender) + "@example.test>\nTo: alice@home.test\nSubject: mail " +
                  std::to_string(k) + "\nDate: Tue, 7 Dec 2004 09:05:03 +0800\n\nYour order " +
                  std::to_string(100000 + k) + " ships today.\n";
  while (m.size() < size) m += "a line of text in the body of mail number " + std::to_string(k) + "\n";
  return m;
}

// Peak resident memory since the last reset, in KiB.
void reset_peak_memory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
long peak_memory_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

struct Peers {
  Peers() {
    ok = pop.start({{"alice", "secret"}, {"large", "secret"}, {"bulk", "secret"}});
    if (!ok) {
      std::fprintf(stderr, "dovecot: %s\n", pop.error().c_str());
      return;
    }
    for (int k = 0; k < kWholeMails; ++k) pop.deliver("alice", bench_mail(k, kMailSize));
    for (int k = 0; k < large_mails(); ++k) pop.deliver("large", bench_mail(k, kMailSize));
    for (size_t k = 0; k < bulk_mails(); ++k) pop.deliver("bulk", bench_mail(k, 200));
    // Dovecot indexes a mailbox and moves its new mails in the first
    // sessions, which may still change the identifiers, and indexing a
    // large mailbox may outlast a session's wait: list until two listings
    // of every mailbox succeed and agree. Not part of any run.
    std::string last;
    ok = false;
    for (int session = 0; !ok && session < 12; ++session) {
      std::string listings;
      bool listed = true;
      for (const char* user : {"alice", "large", "bulk"}) {
        Pop3Session s;
        if (!s.log_in(pop.server_field(), user, "secret") || !s.uidl_all()) {
          std::fprintf(stderr, "listing %s: %s\n", user, s.error_text().c_str());
          listed = false;
          continue;
        }
        std::string uids;
        for (int i = 1; i <= s.message_count(); ++i) (uids += s.unique_id(i)) += "\r\n";
        if (std::string(user) == "bulk") bulk_uids = uids;
        listings += uids;
        (void)s.quit();
      }
      ok = listed && listings == last;
      last = listed ? listings : "";
    }
  }
  test::DovecotServer pop;
  bool ok = false;
  std::string bulk_uids;  // the .uid file of an account that has seen every bulk mail
};

Peers& peers() {
  static Peers p;
  return p;
}

class AllowAll final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view) override { return true; }
};

// Seconds of each run, by benchmark.
std::map<std::string, std::vector<double>> g_seconds;

// The files of every run stay until the benchmark ends. This machine's root
// file system has no journal, and ext4 without one passes over the inodes
// freed in the last minutes when it allocates new ones: a run right after
// the removal of the last run's thousands of files would pay for them.
std::vector<std::unique_ptr<test::TempDir>> g_kept;
void keep_until_exit(std::unique_ptr<test::TempDir> dir) { g_kept.push_back(std::move(dir)); }

// One data directory with one account bound to one rule, as the program
// would hold it.
struct Program {
  Program(const std::string& user, Rule rule, const std::string& seen_file_text = {}) {
    (void)program.create_directories();
    MailboxRecord r;
    r.address = user + "@home.test";
    r.login_name = user;
    r.password = "secret";
    r.pop_server = peers().pop.server_field();
    MailboxList loader(program);
    (void)loader.create(r, false);
    (void)loader.save();
    if (!seen_file_text.empty())
      (void)write_file_atomic(program.file("MailUID") / (r.address + ".uid"), seen_file_text);
    (void)mailboxes.load([](uint32_t) { return true; });
    account = mailboxes.at(0);
    rule.id = 1;
    (void)mailboxes.bind(*account, 1);
    settings.rules = {rule};
  }
  // What the month files hold (like --check-once, the program does not read
  // them into memory).
  size_t logged() const {
    OperationLog month{program, clock};
    month.load_current_month();
    return month.count();
  }
  size_t saved_mails() const {
    LocalMailIndex month{program, clock};
    month.load_current_month();
    return month.count();
  }
  RunOutcome check() {
    CheckRun run(CheckServices{mailboxes, log, local, verifier, clock, dial_up, host});
    return run.run(nullptr, settings);
  }

  std::unique_ptr<test::TempDir> dir = std::make_unique<test::TempDir>();
  ProgramDir program{dir->path()};
  SystemClock clock;
  MailboxList mailboxes{program};
  std::shared_ptr<MailboxAccount> account;
  OperationLog log{program, clock};
  LocalMailIndex local{program, clock};
  HeadlessHost host{nullptr, log};
  AllowAll verifier;
  NoDialUp dial_up;
  RunSettings settings;
};

// Runs a check and its yardstick, the yardstick first in every other pair,
// so that neither run of a pair always follows the other's session (whose
// server process is still closing the mailbox).
template <typename Yardstick, typename Check>
void run_pair(Yardstick yardstick, Check check) {
  static bool raw_first = false;
  raw_first = !raw_first;
  if (raw_first) yardstick();
  check();
  if (!raw_first) yardstick();
}

template <typename F>
double timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


// Peak resident memory of the first whole-mail check of each size, KiB.
std::map<int, long> g_peak_kib;

// One first check of `count` new mails of `user` with `rule`, timed under
// `name`; `done` says whether every mail was acted on.
template <typename Done>
void check_new_mails(benchmark::State& state, const char* name, const std::string& user, int count, Rule rule,
                     Done done) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state) {
    state.PauseTiming();
    auto kept_out = std::make_unique<test::TempDir>();
    const test::TempDir& out = *kept_out;
    if (rule.has(ActionKind::backup)) rule.backup_dir = out.path().string();
    if (rule.has(ActionKind::key_info)) rule.key_info_file = (out.path() / "keys.txt").string();
    rule.fetch_need = compute_fetch_need(rule);
    auto p = std::make_unique<Program>(user, rule);
    const bool first = !g_peak_kib.contains(count);
    // The machine's speed drifts (a shared virtual machine): the yardstick
    // runs beside each check, and the ratios compare the pairs.
    RunOutcome outcome;
    run_pair(
        [&] {
          g_seconds[std::string(name) + " paired raw"].push_back(
              timed([&] { (void)bench::raw_fetch(peers().pop.port(), user, count, true); }));
        },
        [&] {
          if (first) reset_peak_memory();
          state.ResumeTiming();
          g_seconds[name].push_back(timed([&] { outcome = p->check(); }));
          state.PauseTiming();
          if (first) g_peak_kib[count] = peak_memory_kib();
        });
    if (!outcome.ok() || !done(*p, out)) state.SkipWithError("the check did not act on every mail");
    keep_until_exit(std::move(kept_out));
    keep_until_exit(std::move(p->dir));
    p.reset();
    state.ResumeTiming();
  }
  state.counters["mails/s"] = benchmark::Counter(double(count) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

Rule backup_rule() {
  Rule rule;
  rule.action_mask = bit(ActionKind::backup);  // needs the whole mail
  return rule;
}

void BM_CheckWholeMailsWithBackup(benchmark::State& state) {
  check_new_mails(state, "BM_CheckWholeMailsWithBackup", "alice", kWholeMails, backup_rule(),
                  [](Program& p, const test::TempDir&) { return p.saved_mails() == size_t(kWholeMails); });
}

void BM_CheckLargeMailboxWithBackup(benchmark::State& state) {
  check_new_mails(state, "BM_CheckLargeMailboxWithBackup", "large", large_mails(), backup_rule(),
                  [](Program& p, const test::TempDir&) { return p.saved_mails() == size_t(large_mails()); });
}

void BM_CheckBodyPatternKeyInfo(benchmark::State& state) {
  Rule rule;
  rule.condition_mask = bit(ConditionKind::body_pattern);
  rule.body_pattern = "*order *<#1> ships*";
  rule.action_mask = bit(ActionKind::key_info);
  rule.key_info_template = "#F# #1#";
  check_new_mails(state, "BM_CheckBodyPatternKeyInfo", "alice", kWholeMails, rule,
                  [](Program&, const test::TempDir& out) {
                    const std::optional<std::string> keys = read_file(out.path() / "keys.txt");
                    return keys && size_t(std::count(keys->begin(), keys->end(), '\n')) >= size_t(kWholeMails);
                  });
}

void BM_RawRetrSequential(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state)
    g_seconds["BM_RawRetrSequential"].push_back(timed([&] {
      if (!bench::raw_fetch(peers().pop.port(), "alice", kWholeMails, false)) state.SkipWithError("raw fetch failed");
    }));
}

void BM_RawRetrPipelined(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state)
    g_seconds["BM_RawRetrPipelined"].push_back(timed([&] {
      if (!bench::raw_fetch(peers().pop.port(), "alice", kWholeMails, true)) state.SkipWithError("raw fetch failed");
    }));
}

// fetchmail with `keep` and `uidl`, writing every mail as batched SMTP into
// one file (no process per mail).
void BM_FetchmailBsmtp(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state) {
    state.PauseTiming();
    test::TempDir work;
    const std::filesystem::path rc = work.path() / "fetchmailrc";
    const std::filesystem::path out = work.path() / "mail.bsmtp";
    {
      std::ofstream f(rc);
      f << "poll 127.0.0.1 with proto POP3 port " << peers().pop.port()
        << " uidl user \"alice\" there with password \"secret\" is \"root\" here options keep sslproto ''"
        << " bsmtp " << out.string() << "\n";
    }
    ::chmod(rc.c_str(), 0600);
    const std::string w = work.path().string();
    const std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + w, "FETCHMAILHOME=" + w, "LANG=C.UTF-8"};
    state.ResumeTiming();
    int status = -1;
    g_seconds["BM_FetchmailBsmtp"].push_back(timed([&] {
      status = bench::run_program({"/usr/bin/fetchmail", "-s", "-f", rc.string(), "--idfile", w + "/ids"}, env);
    }));
    state.PauseTiming();
    const std::optional<std::string> written = read_file(out);
    if (status != 0 || !written || written->size() < size_t(kWholeMails) * kMailSize)
      state.SkipWithError("fetchmail did not deliver every mail");
    state.ResumeTiming();
  }
}

void BM_NothingNewCheck(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  Rule rule;
  rule.action_mask = 0x08;
  rule.backup_dir = "/nonexistent";
  rule.fetch_need = compute_fetch_need(rule);
  Program p("bulk", rule, peers().bulk_uids);
  for (auto _ : state) {
    RunOutcome outcome;
    run_pair(
        [] {
          g_seconds["BM_NothingNewCheck paired raw"].push_back(
              timed([] { (void)bench::raw_uidl(peers().pop.port(), "bulk"); }));
        },
        [&] { g_seconds["BM_NothingNewCheck"].push_back(timed([&] { outcome = p.check(); })); });
    // Every new mail would have logged a failed backup.
    if (!outcome.ok() || p.logged() != 0) state.SkipWithError("the check found something new");
  }
}

void BM_RawUidl(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state)
    g_seconds["BM_RawUidl"].push_back(timed([&] {
      if (!bench::raw_uidl(peers().pop.port(), "bulk")) state.SkipWithError("UIDL failed");
    }));
}

BENCHMARK(BM_CheckWholeMailsWithBackup)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CheckBodyPatternKeyInfo)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRetrSequential)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRetrPipelined)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchmailBsmtp)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawUidl)->Iterations(9)->Unit(benchmark::kMillisecond)->UseRealTime();
// (c) sits at the server's own listing time, within this machine's noise
// of about 10% a run: more pairs for a steadier median.
BENCHMARK(BM_NothingNewCheck)->Iterations(25)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CheckLargeMailboxWithBackup)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

double median_of(const std::string& name) {
  auto it = g_seconds.find(name);
  return it == g_seconds.end() ? 0 : bench::median(it->second);
}

}  // namespace
}  // namespace pw

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  using pw::median_of;
  const double backup = median_of("BM_CheckWholeMailsWithBackup");
  const double keys = median_of("BM_CheckBodyPatternKeyInfo");
  const double sequential = median_of("BM_RawRetrSequential");
  const double pipelined = median_of("BM_RawRetrPipelined");
  const double fetchmail = median_of("BM_FetchmailBsmtp");
  const double nothing = median_of("BM_NothingNewCheck");
  const double uidl = median_of("BM_RawUidl");
  const double large = median_of("BM_CheckLargeMailboxWithBackup");
  auto ratio = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
  // The median of the ratios of each check to the yardstick run beside it.
  auto paired = [](const std::string& name) {
    const std::vector<double>& checks = pw::g_seconds[name];
    const std::vector<double>& raws = pw::g_seconds[name + " paired raw"];
    std::vector<double> ratios;
    for (size_t k = 0; k < checks.size() && k < raws.size(); ++k)
      if (raws[k] > 0) ratios.push_back(checks[k] / raws[k]);
    return pw::bench::median(ratios);
  };
  std::printf("\nmedians: (a) backup %.3f s, (b) key information %.3f s, raw sequential %.3f s, raw pipelined %.3f s, "
              "fetchmail %.3f s\n",
              backup, keys, sequential, pipelined, fetchmail);
  std::printf("(a) backup check / raw pipelined run beside it: %.2f (target <= 1.5); medians / raw pipelined: %.2f, "
              "/ raw sequential: %.2f; fetchmail / check: %.2f (target >= 5)\n",
              paired("BM_CheckWholeMailsWithBackup"), ratio(backup, pipelined), ratio(backup, sequential),
              ratio(fetchmail, backup));
  std::printf("(b) key-information check / raw pipelined run beside it: %.2f (target <= 1.3); medians / raw "
              "pipelined: %.2f, / raw sequential: %.2f\n",
              paired("BM_CheckBodyPatternKeyInfo"), ratio(keys, pipelined), ratio(keys, sequential));
  std::printf("(c) nothing-new check of %zu mails / raw UIDL run beside it: %.2f (target <= 1.0); medians: %.1f ms "
              "against %.1f ms\n",
              pw::bulk_mails(), paired("BM_NothingNewCheck"), nothing * 1000, uidl * 1000);
  std::printf("%d mails / %d mails with backup: %.2f (target <= 11); the raw pipelined client on the same "
              "mailboxes: %.2f\n",
              pw::large_mails(), pw::kWholeMails, ratio(large, backup),
              ratio(median_of("BM_CheckLargeMailboxWithBackup paired raw"),
                    median_of("BM_CheckWholeMailsWithBackup paired raw")));
  for (const auto& [count, kib] : pw::g_peak_kib)
    std::printf("resident peak of the first check of %d mails: %.1f MiB\n", count, kib / 1024.0);
  return 0;
}
