// Check-run benchmarks against a real Dovecot on loopback (run inside
// scripts/netns.sh, as root like CI):
//  - a check of 2,000 new mails of about 20 KB with a rule that needs the
//    whole mail and backs it up, in mails per second, beside fetchmail
//    delivering the same mailbox into a Maildir;
//  - a "nothing new" check of a large account (100,000 mails; set
//    PW_BENCH_BULK_MAILS for fewer) beside a raw UIDL transfer.
// The ratios are printed at the end.
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
#include "rules/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

constexpr int kWholeMails = 2000;
constexpr size_t kMailSize = 20 * 1024;

size_t bulk_mails() {
  const char* v = std::getenv("PW_BENCH_BULK_MAILS");
  return v ? std::strtoul(v, nullptr, 10) : 100000;
}

std::string bench_mail(size_t k, size_t size) {
  std::string m = "From: Sender <sender" + std::to_string(k) + "@example.test>\nTo: alice@home.test\nSubject: mail " +
                  std::to_string(k) + "\nDate: Tue, 7 Dec 2004 09:05:03 +0800\n\n";
  while (m.size() < size) m += "a line of text in the body of mail number " + std::to_string(k) + "\n";
  return m;
}

struct Peers {
  Peers() {
    ok = pop.start({{"alice", "secret"}, {"bulk", "secret"}});
    if (!ok) {
      std::fprintf(stderr, "dovecot: %s\n", pop.error().c_str());
      return;
    }
    for (int k = 0; k < kWholeMails; ++k) pop.deliver("alice", bench_mail(k, kMailSize));
    for (size_t k = 0; k < bulk_mails(); ++k) pop.deliver("bulk", bench_mail(k, 200));
    // Dovecot indexes a mailbox and moves its new mails in the first
    // sessions, which may still change the identifiers: list until two
    // listings agree. Not part of any run.
    std::string last;
    for (int session = 0; ok && session < 6; ++session) {
      for (const char* user : {"alice", "bulk"}) {
        Pop3Session s;
        ok = ok && s.log_in(pop.server_field(), user, "secret") && s.uidl_all();
        if (std::string(user) == "bulk") {
          bulk_uids.clear();
          for (int i = 1; i <= s.message_count(); ++i) bulk_uids += s.unique_id(i) + "\r\n";
        }
        (void)s.quit();
      }
      if (bulk_uids == last) break;
      last = bulk_uids;
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

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

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
    log.load_current_month();
    local.load_current_month();
  }
  RunOutcome check() {
    CheckRun run(CheckServices{mailboxes, log, local, verifier, clock, dial_up, host});
    return run.run(nullptr, settings);
  }

  test::TempDir dir;
  ProgramDir program{dir.path()};
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

template <typename F>
double timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CheckWholeMailsWithBackup(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state) {
    state.PauseTiming();
    test::TempDir backups;
    Rule rule;
    rule.action_mask = 0x08;  // back up: needs the whole mail
    rule.backup_dir = backups.path().string();
    rule.fetch_need = compute_fetch_need(rule);
    auto p = std::make_unique<Program>("alice", rule);
    state.ResumeTiming();
    RunOutcome outcome;
    g_seconds["BM_CheckWholeMailsWithBackup"].push_back(timed([&] { outcome = p->check(); }));
    state.PauseTiming();
    if (!outcome.ok() || p->local.count() != kWholeMails) state.SkipWithError("the check did not back up every mail");
    p.reset();
    state.ResumeTiming();
  }
  state.counters["mails/s"] = benchmark::Counter(double(kWholeMails) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void BM_FetchmailToMaildir(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state) {
    state.PauseTiming();
    test::TempDir work;
    const std::filesystem::path maildir = work.path() / "Maildir";
    for (const char* sub : {"tmp", "new", "cur"}) std::filesystem::create_directories(maildir / sub);
    const std::filesystem::path rc = work.path() / "fetchmailrc";
    {
      std::ofstream out(rc);
      out << "poll 127.0.0.1 with proto POP3 port " << peers().pop.port()
          << " uidl user \"alice\" there with password \"secret\" is \"root\" here options keep sslproto ''"
          << " mda \"/bin/sh -c 'cat > " << maildir.string() << "/tmp/$$ && mv " << maildir.string() << "/tmp/$$ "
          << maildir.string() << "/new/$$'\"\n";
    }
    ::chmod(rc.c_str(), 0600);
    const std::string command = "fetchmail -s -f " + rc.string() + " --idfile " + (work.path() / "ids").string() +
                                " >/dev/null 2>&1";
    state.ResumeTiming();
    g_seconds["BM_FetchmailToMaildir"].push_back(timed([&] { (void)std::system(command.c_str()); }));
    state.PauseTiming();
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(maildir / "new")) n += e.is_regular_file() ? 1 : 0;
    if (n != kWholeMails) state.SkipWithError(("fetchmail delivered " + std::to_string(n) + " mails").c_str());
    state.ResumeTiming();
  }
  state.counters["mails/s"] = benchmark::Counter(double(kWholeMails) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
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
    g_seconds["BM_NothingNewCheck"].push_back(timed([&] { outcome = p.check(); }));
    // Every new mail would have logged a failed backup.
    if (!outcome.ok() || p.log.count() != 0) state.SkipWithError("the check found something new");
  }
}

void BM_RawUidl(benchmark::State& state) {
  if (!peers().ok) return state.SkipWithError("no Dovecot");
  for (auto _ : state) {
    g_seconds["BM_RawUidl"].push_back(timed([&] {
      Pop3Session s;
      if (!s.log_in(peers().pop.server_field(), "bulk", "secret") || !s.uidl_all()) state.SkipWithError("UIDL failed");
      (void)s.quit();
    }));
  }
}

BENCHMARK(BM_CheckWholeMailsWithBackup)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchmailToMaildir)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawUidl)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NothingNewCheck)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

double median_of(const char* prefix) {
  for (const auto& [name, seconds] : g_seconds)
    if (name.starts_with(prefix)) return median(seconds);
  return 0;
}

}  // namespace
}  // namespace pw

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double check = pw::median_of("BM_CheckWholeMailsWithBackup");
  const double fetchmail = pw::median_of("BM_FetchmailToMaildir");
  const double nothing = pw::median_of("BM_NothingNewCheck");
  const double uidl = pw::median_of("BM_RawUidl");
  if (check > 0 && fetchmail > 0)
    std::printf("whole-mail check with backup: %.0f mails/s, fetchmail to Maildir: %.0f mails/s, ratio %.2f\n",
                pw::kWholeMails / check, pw::kWholeMails / fetchmail, fetchmail / check);
  if (nothing > 0 && uidl > 0)
    std::printf("nothing-new check of %zu mails: %.1f ms, raw UIDL: %.1f ms, ratio %.2f\n", pw::bulk_mails(),
                nothing * 1000, uidl * 1000, nothing / uidl);
  return 0;
}
