// Fetching mail from a local Dovecot: Pop3Session against fetchmail, getmail6
// and a minimal raw client, and the "nothing new" check of a large mailbox.
//
//   build/bench/bench_pop3_bench [--runs N]
//
// Runs itself inside scripts/netns.sh (root, or user namespaces) and starts
// its own Dovecot on loopback. Prints medians of N runs (default 3).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "raw_pop3.h"
#include "stores/seen_uid_list.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using pw::Pop3Session;
using pw::bench::run_program;
using pw::test::DovecotServer;

constexpr int kMails = 2000;
constexpr size_t kMailSize = 20000;
constexpr int kListed = 100000;

double seconds_of(const std::function<bool()>& run, int runs, bool& ok) {
  std::vector<double> times;
  ok = true;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    if (!run()) ok = false;
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return pw::bench::median(std::move(times));
}

std::string mail_of(int n, size_t size) {
  std::string m = "From: sender" + std::to_string(n % 17) + "@example.test\nTo: alice@example.test\nSubject: bench " +
                  std::to_string(n) + "\nMessage-ID: <" + std::to_string(n) + "@bench.test>\n\n";
  while (m.size() < size) {
    std::string line = "line " + std::to_string(m.size()) + " ";
    line.resize(72, static_cast<char>('a' + n % 26));
    m += line + "\n";
  }
  return m;
}

bool raw_fetch(int port, bool pipelined) { return pw::bench::raw_fetch(port, "alice", kMails, pipelined); }

bool session_fetch(const DovecotServer& server, std::uint32_t chunk) {
  Pop3Session pop;
  pop.set_chunk_size(chunk);
  if (!pop.log_in(server.server_field(), "alice", "secret") || !pop.uidl_all()) return false;
  if (pop.message_count() != kMails) return false;
  for (int i = 1; i <= pop.message_count(); ++i) {
    int r = pop.retr(i);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    if (r != Pop3Session::kComplete) return false;
  }
  return pop.quit() == Pop3Session::kSuccess;
}

void print_row(const char* what, double secs, bool ok) {
  std::printf("  %-50s %8.3f s  %8.0f mails/s%s\n", what, secs, kMails / secs, ok ? "" : "  (FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
  if (int r = pw::bench::enter_netns(argc, argv); r != 0) return r;
  int runs = 3;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));

  DovecotServer server;
  for (int i = 1; i <= kMails; ++i) server.deliver("alice", mail_of(i, kMailSize));
  for (int i = 1; i <= kListed; ++i) server.deliver("bob", mail_of(i, 300));
  if (!server.start({{"alice", "secret"}, {"bob", "secret"}})) {
    std::fprintf(stderr, "dovecot: %s\n", server.error().c_str());
    return 1;
  }
  const int port = server.port();
  std::printf("Dovecot on %s; %d mails of %zu bytes; median of %d runs\n", server.server_field().c_str(), kMails,
              kMailSize, runs);

  // Work files for the external clients; getmail6 refuses to run as root.
  pw::test::TempDir work;
  fs::permissions(work.path(), fs::perms::all);
  const passwd* nobody = ::getpwnam("nobody");
  const std::string w = work.path().string();
  work.write("fetchmailrc", "poll 127.0.0.1 with proto POP3 port " + std::to_string(port) +
                                " uidl user \"alice\" there with password \"secret\" is \"root\" here options keep "
                                "sslproto '' bsmtp /dev/null\n");
  fs::permissions(work / "fetchmailrc", fs::perms::owner_read | fs::perms::owner_write);
  work.write("getmail/getmailrc", "[retriever]\ntype = SimplePOP3Retriever\nserver = 127.0.0.1\nport = " +
                                      std::to_string(port) +
                                      "\nusername = alice\npassword = secret\n\n[destination]\ntype = Maildir\npath = " +
                                      w + "/gm-maildir/\n\n[options]\nread_all = true\ndelete = false\nverbose = 0\n");
  auto reset_getmail = [&] {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(work / "getmail", ec))
      if (e.path().filename().string().rfind("oldmail", 0) == 0) fs::remove(e.path(), ec);
    fs::remove_all(work / "gm-maildir", ec);
    for (const char* sub : {"new", "cur", "tmp"}) fs::create_directories(work / "gm-maildir" / sub);
    if (nobody)
      for (const auto& p : {work / "getmail", work / "getmail" / "getmailrc", work / "gm-maildir",
                            work / "gm-maildir" / "new", work / "gm-maildir" / "cur", work / "gm-maildir" / "tmp"})
        (void)::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid);
  };
  const std::vector<std::string> env{"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "HOME=" + w, "FETCHMAILHOME=" + w,
                                     "LANG=C.UTF-8"};

  // Warm up Dovecot's indexes for both mailboxes.
  bool ok = raw_fetch(port, true);
  {
    Pop3Session warm;
    ok = ok && warm.log_in(server.server_field(), "bob", "secret") && warm.uidl_all() && warm.quit();
  }
  if (!ok) std::fprintf(stderr, "warm-up failed\n");

  enum class Kind { Ours, Raw, Peer };
  struct Row {
    const char* name;
    double secs;
    bool ok;
    Kind kind;
  };
  std::vector<Row> rows;
  auto measure = [&](const char* name, Kind kind, const std::function<bool()>& f) {
    bool good = false;
    double s = seconds_of(f, runs, good);
    rows.push_back({name, s, good, kind});
  };
  measure("Pop3Session, UIDL then RETR each (chunk 2 KiB)", Kind::Ours, [&] { return session_fetch(server, 2048); });
  measure("Pop3Session, UIDL then RETR each (chunk 64 KiB)", Kind::Ours, [&] { return session_fetch(server, 65536); });
  measure("raw client, UIDL then RETR one after another", Kind::Raw, [&] { return raw_fetch(port, false); });
  measure("raw client, UIDL then all RETR pipelined", Kind::Raw, [&] { return raw_fetch(port, true); });
  measure("fetchmail (keep uidl, bsmtp /dev/null)", Kind::Peer, [&] {
    fs::remove(work / "fetchids");
    return run_program({"/usr/bin/fetchmail", "-s", "-f", w + "/fetchmailrc", "--idfile", w + "/fetchids"}, env) == 0;
  });
  measure("getmail6 (read_all to a Maildir, as nobody)", Kind::Peer, [&] {
    reset_getmail();
    return run_program({"/usr/sbin/runuser", "-u", "nobody", "--", "/usr/bin/getmail", "--getmaildir=" + w + "/getmail",
                        "--rcfile=getmailrc"},
                       env) == 0;
  });

  std::printf("\nFetch %d mails:\n", kMails);
  double best_ours = 0, fastest_peer = 0;
  const char* fastest_name = "";
  for (const Row& r : rows) {
    print_row(r.name, r.secs, r.ok);
    if (!r.ok) continue;
    if (r.kind == Kind::Ours && (best_ours == 0 || r.secs < best_ours)) best_ours = r.secs;
    if (r.kind == Kind::Peer && (fastest_peer == 0 || r.secs < fastest_peer)) {
      fastest_peer = r.secs;
      fastest_name = r.name;
    }
  }
  if (best_ours > 0) {
    if (fastest_peer > 0)
      std::printf("  ours (best) against the fastest peer, %s: %.2fx its mails per second\n", fastest_name,
                  fastest_peer / best_ours);
    for (const Row& r : rows)
      if (r.kind != Kind::Ours && r.ok) std::printf("    against %-50s %6.2fx\n", r.name, r.secs / best_ours);
  }

  // Nothing new: every listed identifier is already seen.
  pw::SeenUidList seen;
  int listed = 0;
  {
    Pop3Session pop;
    if (pop.log_in(server.server_field(), "bob", "secret") && pop.uidl_all()) {
      listed = pop.message_count();
      for (int i = 1; i <= listed; ++i) seen.add(pop.unique_id(i));
    }
    (void)pop.quit();
  }
  bool check_ok = false, raw_ok = false;
  int news = -1;
  double check = seconds_of(
      [&] {
        Pop3Session pop;
        if (!pop.log_in(server.server_field(), "bob", "secret") || !pop.uidl_all()) return false;
        news = 0;
        for (int i = 1; i <= pop.message_count(); ++i)
          if (!seen.contains(pop.unique_id(i))) ++news;
        return pop.quit() == Pop3Session::kSuccess && pop.message_count() == kListed;
      },
      runs, check_ok);
  double raw_uidl = seconds_of(
      [&] {
        return pw::bench::raw_uidl(port, "bob");
      },
      runs, raw_ok);
  std::printf("\nNothing new, %d listed mails all in the seen list (SeenUidList, %zu entries):\n", listed, seen.size());
  std::printf("  %-50s %8.3f s%s (new found: %d)\n", "Pop3Session log in, UIDL, check, QUIT", check,
              check_ok ? "" : "  (FAILED)", news);
  std::printf("  %-50s %8.3f s%s\n", "raw client log in, UIDL, QUIT", raw_uidl, raw_ok ? "" : "  (FAILED)");
  std::printf("  ours / raw UIDL transfer: %.2f (time)\n", check / raw_uidl);
  return 0;
}
