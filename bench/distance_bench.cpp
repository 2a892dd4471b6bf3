// The check against a distant server: a real Dovecot behind a delay line
// (bench/delay_line.py, 25 ms each way: a 50 ms round trip), inside
// scripts/netns.sh. In one run, medians of --runs N (3 by default):
//  - one mailbox of 200 mails of about 20 KB with a backup rule, against the
//    raw client with every RETR pipelined, the raw client one RETR at a time
//    and fetchmail (keep, uidl, bsmtp to a file);
//  - four mailboxes of 50 such mails in one check, against fetchmail polling
//    the same four;
//  - nothing new (all 200 seen), against a raw client sending USER, PASS,
//    UIDL and QUIT one at a time.
// The ratios and their targets are printed at the end.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "bench_support.h"
#include "engine/check_run.h"
#include "engine/headless_host.h"
#include "net/pop3_session.h"
#include "raw_pop3.h"
#include "net/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

constexpr int kOneMails = 200;
constexpr int kFourMails = 50;
constexpr size_t kMailSize = 20 * 1024;
constexpr int kDelayMs = 25;
const std::vector<std::string> kFour{"work", "home", "family1", "family2"};

std::string bench_mail(size_t k) {
  std::string m = "From: Sender <sender" + std::to_string(k / 20 % 7) +
                  "@example.test>\nTo: alice@home.test\nSubject: mail " + std::to_string(k) +
                  "\nDate: Tue, 7 Dec 2004 09:05:03 +0800\n\nYour order " + std::to_string(100000 + k) +
                  " ships today.\n";
  while (m.size() < kMailSize) m += "a line of text in the body of mail number " + std::to_string(k) + "\n";
  return m;
}

// The delay line in front of the server, for as long as the object lives.
class DelayLine {
 public:
  DelayLine(int target, int delay_ms) {
    port_ = target + 1000;
    const std::string script = std::string(PW_SOURCE_DIR) + "/bench/delay_line.py";
    ready_file_ = dir_.path() / "ready";
    std::vector<std::string> args{"/usr/bin/python3", script, std::to_string(port_), std::to_string(target),
                                  std::to_string(delay_ms)};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, ready_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&fa);
    for (int k = 0; pid_ && k < 200 && !ready(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~DelayLine() {
    if (!pid_) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  [[nodiscard]] bool ready() const {
    const std::optional<std::string> text = read_file(ready_file_);
    return text && text->starts_with("ready");
  }
  [[nodiscard]] int port() const { return port_; }

 private:
  test::TempDir dir_;
  std::filesystem::path ready_file_;
  pid_t pid_ = 0;
  int port_ = 0;
};

class AllowAll final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view) override { return true; }
};

// A data directory with `users` as accounts, each bound to one backup rule.
struct Program {
  Program(const std::string& server, const std::vector<std::string>& users, const std::string& seen_text = {}) {
    (void)program.create_directories();
    MailboxList loader(program);
    for (const std::string& user : users) {
      MailboxRecord r;
      r.address = user + "@home.test";
      r.login_name = user;
      r.password = "secret";
      r.pop_server = server;
      (void)loader.create(r, false);
      if (!seen_text.empty())
        (void)write_file_atomic(program.file("MailUID") / (r.address + ".uid"), seen_text);
    }
    (void)loader.save();
    (void)mailboxes.load([](uint32_t) { return true; });
    Rule rule;
    rule.id = 1;
    rule.action_mask = bit(ActionKind::backup);
    std::filesystem::create_directories(dir->path() / "backup");
    rule.backup_dir = (dir->path() / "backup").string();
    rule.fetch_need = compute_fetch_need(rule);
    for (const auto& account : mailboxes.accounts()) (void)mailboxes.bind(*account, 1);
    settings.rules = {rule};
    // As the program checks them with its settings of a first start.
    settings.mailboxes_at_once = SystemSettings{}.mailboxes_at_once();
  }
  size_t saved_mails() const {
    LocalMailIndex month{program, clock};
    month.load_current_month();
    return month.count();
  }
  RunOutcome check() {
    CheckServices services{mailboxes, log, local, verifier, clock, dial_up, host};
    // PW_BENCH_TRACE=1: every protocol line with the milliseconds since the start of the check.
    const auto start = std::chrono::steady_clock::now();
    if (std::getenv("PW_BENCH_TRACE"))
      services.pop3.trace = [start](std::string_view line) {
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "%8.1f %.*s\n", ms, static_cast<int>(std::min<size_t>(line.size(), 60)), line.data());
      };
    CheckRun run(std::move(services));
    return run.run(nullptr, settings);
  }

  std::unique_ptr<test::TempDir> dir = std::make_unique<test::TempDir>();
  ProgramDir program{dir->path()};
  SystemClock clock;
  MailboxList mailboxes{program};
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

// fetchmail (keep, uidl, bsmtp to a file) polling `users` one after the
// other; false unless every mail arrived.
bool fetchmail(int port, const std::vector<std::string>& users, size_t mails) {
  test::TempDir work;
  const std::filesystem::path rc = work.path() / "fetchmailrc";
  const std::filesystem::path out = work.path() / "mail.bsmtp";
  {
    std::ofstream f(rc);
    for (const std::string& user : users)
      f << "poll 127.0.0.1 with proto POP3 port " << port << " uidl user \"" << user
        << "\" there with password \"secret\" is \"root\" here options keep sslproto '' bsmtp " << out.string()
        << "\n";
  }
  ::chmod(rc.c_str(), 0600);
  const std::string w = work.path().string();
  const std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + w, "FETCHMAILHOME=" + w, "LANG=C.UTF-8"};
  const int status = bench::run_program({"/usr/bin/fetchmail", "-s", "-f", rc.string(), "--idfile", w + "/ids"}, env);
  const std::optional<std::string> written = read_file(out);
  return status == 0 && written && written->size() >= mails * kMailSize;
}

std::map<std::string, std::vector<double>> g_seconds;
bool g_failed = false;

void record(const std::string& name, double seconds, bool ok) {
  g_seconds[name].push_back(seconds);
  if (!ok) {
    std::fprintf(stderr, "%s: did not do all its work\n", name.c_str());
    g_failed = true;
  }
}

double median_of(const std::string& name) { return bench::median(g_seconds[name]); }

}  // namespace
}  // namespace pw

int main(int argc, char** argv) {
  using namespace pw;
  if (bench::enter_netns(argc, argv) != 0) return 1;
  int runs = 3;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));

  test::DovecotServer pop;
  // A server's log-in processes are running when a client comes; here
  // starting one would take 100-150 ms of this machine per connection.
  pop.set_ready_logins(static_cast<int>(kFour.size()) + 1);
  std::vector<test::DovecotServer::User> users{{"one", "secret"}};
  for (const std::string& u : kFour) users.push_back({u, "secret"});
  if (!pop.start(users)) {
    std::fprintf(stderr, "dovecot: %s\n", pop.error().c_str());
    return 1;
  }
  for (int k = 0; k < kOneMails; ++k) pop.deliver("one", bench_mail(static_cast<size_t>(k)));
  for (size_t b = 0; b < kFour.size(); ++b)
    for (int k = 0; k < kFourMails; ++k) pop.deliver(kFour[b], bench_mail(b * kFourMails + static_cast<size_t>(k)));
  // Dovecot's first sessions index the mailboxes (and may rename files):
  // listed twice before anything is timed; the second listing of "one" is
  // the seen list of the nothing-new check.
  std::string seen;
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& user : users) {
      Pop3Session s;
      if (!s.log_in(pop.server_field(), user.name, "secret") || !s.uidl_all()) {
        std::fprintf(stderr, "listing %s: %s\n", user.name.c_str(), s.error_text().c_str());
        return 1;
      }
      if (user.name == "one") {
        seen.clear();
        for (int i = 1; i <= s.message_count(); ++i) (seen += s.unique_id(i)) += "\r\n";
      }
      (void)s.quit();
    }

  DelayLine line(pop.port(), kDelayMs);
  if (!line.ready()) {
    std::fprintf(stderr, "the delay line did not start\n");
    return 1;
  }
  const int port = line.port();
  const std::string server = "127.0.0.1:" + std::to_string(port);
  std::printf("Dovecot on %d behind a delay line on %d: %d ms each way, %d runs each\n", pop.port(), port, kDelayMs,
              runs);

  // Every run's files stay until the end (see bench/README.md on ext4
  // without a journal).
  // Each run starts once the server's processes of the one before have
  // gone (closing a mailbox goes on after the client has left).
  auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
  std::vector<std::unique_ptr<Program>> kept;
  auto check = [&](const std::string& name, const std::vector<std::string>& accounts, size_t mails,
                   const std::string& seen_text) {
    auto p = std::make_unique<Program>(server, accounts, seen_text);
    settle();
    RunOutcome outcome;
    const double s = timed([&] { outcome = p->check(); });
    record(name, s, outcome.ok() && p->saved_mails() == mails);
    kept.push_back(std::move(p));
  };
  auto measure = [&](const std::string& name, auto&& run) {
    settle();
    bool ok = false;
    const double s = timed([&] { ok = run(); });
    record(name, s, ok);
  };
  const std::vector<std::string> four = kFour;
  for (int r = 0; r < runs; ++r) {
    measure("raw pipelined", [&] { return bench::raw_fetch(port, "one", kOneMails, true); });
    check("check, one mailbox", {"one"}, kOneMails, "");
    measure("raw sequential", [&] { return bench::raw_fetch(port, "one", kOneMails, false); });
    measure("fetchmail, one mailbox", [&] { return fetchmail(port, {"one"}, kOneMails); });
    check("check, four mailboxes", four, kFour.size() * kFourMails, "");
    measure("fetchmail, four mailboxes", [&] { return fetchmail(port, four, kFour.size() * kFourMails); });
    check("check, nothing new", {"one"}, 0, seen);
    measure("raw UIDL", [&] { return bench::raw_uidl(port, "one"); });
  }

  for (const auto& [name, seconds] : g_seconds) {
    std::printf("%-28s median %7.3f s  (", name.c_str(), bench::median(seconds));
    for (double s : seconds) std::printf(" %.3f", s);
    std::printf(" )\n");
  }
  auto ratio = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
  const double one = median_of("check, one mailbox");
  const double four_checked = median_of("check, four mailboxes");
  const double nothing = median_of("check, nothing new");
  std::printf("\none mailbox / raw pipelined: %.2f (target <= 1.2); / raw sequential: %.3f; fetchmail / check: %.1f "
              "(target >= 30)\n",
              ratio(one, median_of("raw pipelined")), ratio(one, median_of("raw sequential")),
              ratio(median_of("fetchmail, one mailbox"), one));
  std::printf("four mailboxes of %d / one mailbox of %d: %.2f (target <= 1.3); fetchmail / check, four mailboxes: "
              "%.1f\n",
              kFourMails, kOneMails, ratio(four_checked, one), ratio(median_of("fetchmail, four mailboxes"), four_checked));
  std::printf("nothing new / raw UIDL client: %.2f (target <= 1.0)\n", ratio(nothing, median_of("raw UIDL")));
  return g_failed ? 1 : 0;
}
