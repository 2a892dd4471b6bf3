// Fetching 2,000 mails of about 20 KB over TLS from a local Dovecot (implicit
// TLS on 995, certificate of a throwaway CA trusted through SSL_CERT_FILE):
// Pop3Session against a raw client on Python's ssl module and fetchmail with
// ssl. Prints the medians and the ratios.
//
//   build/bench/bench_pop3_tls_bench [--runs N]
//
// Runs itself inside scripts/netns.sh (root, or user namespaces), where a
// dnsmasq answers the server's name so that the certificate is checked
// against it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "support/dns_server.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"
#include "support/test_ca.h"

namespace {

namespace fs = std::filesystem;
using pw::Pop3Session;
using pw::bench::median;
using pw::bench::run_program;
using pw::test::DovecotServer;

constexpr int kMails = 2000;
constexpr size_t kMailSize = 20000;
const std::string kField = "pop.example.test:995";

std::string mail_of(int n) {
  std::string m = "From: sender" + std::to_string(n % 17) + "@example.test\nTo: alice@example.test\nSubject: bench " +
                  std::to_string(n) + "\n\n";
  while (m.size() < kMailSize) {
    std::string line = "line " + std::to_string(m.size()) + " ";
    line.resize(72, static_cast<char>('a' + n % 26));
    m += line + "\n";
  }
  return m;
}

bool session_fetch(std::uint32_t chunk) {
  Pop3Session pop;
  pop.set_chunk_size(chunk);
  if (!pop.log_in(kField, "alice", "secret") || !pop.uidl_all() || pop.message_count() != kMails) return false;
  for (int i = 1; i <= kMails; ++i) {
    int r = pop.retr(i);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    if (r != Pop3Session::kComplete) return false;
  }
  return pop.quit() == Pop3Session::kSuccess;
}

// The raw client: Python's ssl module, UIDL, then RETR one after another,
// reading each reply in 256 KiB receives up to its terminator. It prints its
// own time, from connect to QUIT, so the interpreter's start is not counted.
const char* kRawClient = R"(
import socket, ssl, sys, time
n = int(sys.argv[1])
t0 = time.monotonic()
ctx = ssl.create_default_context()
s = ctx.wrap_socket(socket.create_connection(("pop.example.test", 995)), server_hostname="pop.example.test")
buf = bytearray()
def until(end):
    global buf
    while True:
        i = buf.find(end)
        if i >= 0:
            del buf[:i + len(end)]
            return
        d = s.recv(262144)
        if not d:
            raise SystemExit(1)
        buf += d
until(b"\r\n")
for c in (b"USER alice", b"PASS secret"):
    s.sendall(c + b"\r\n"); until(b"\r\n")
s.sendall(b"UIDL\r\n"); until(b"\r\n.\r\n")
for i in range(1, n + 1):
    s.sendall(b"RETR %d\r\n" % i); until(b"\r\n.\r\n")
s.sendall(b"QUIT\r\n"); until(b"\r\n")
print(time.monotonic() - t0)
)";

// Median seconds of `runs` calls of `run`, which gives its time (< 0: failed).
double measure(int runs, const std::function<double()>& run, bool& ok) {
  std::vector<double> times;
  ok = true;
  for (int i = 0; i < runs; ++i) {
    double t = run();
    if (t < 0) ok = false;
    times.push_back(t);
  }
  return median(times);
}

double timed(const std::function<bool()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  bool ok = f();
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return ok ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (int r = pw::bench::enter_netns(argc, argv); r != 0) return r;
  int runs = 3;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));

  pw::test::TestCa ca;
  pw::test::DnsServer dns({}, {{"pop.example.test", "127.0.0.10"}});
  if (!ca.ok() || !dns.running()) {
    std::fprintf(stderr, "set-up: %s %s\n", ca.error().c_str(), dns.log().c_str());
    return 1;
  }
  ::setenv("SSL_CERT_FILE", ca.pem().c_str(), 1);
  pw::test::TestCa::Issued cert = ca.issue("pop.example.test");
  DovecotServer server;
  server.set_tls({DovecotServer::Tls::Mode::implicit, "127.0.0.10", 995, cert.cert, cert.key});
  for (int i = 1; i <= kMails; ++i) server.deliver("alice", mail_of(i));
  if (!server.start({{"alice", "secret"}})) {
    std::fprintf(stderr, "dovecot: %s\n", server.error().c_str());
    return 1;
  }
  std::printf("Dovecot with TLS on %s; %d mails of %zu bytes; median of %d runs\n", kField.c_str(), kMails, kMailSize,
              runs);

  pw::test::TempDir work;
  const std::string w = work.path().string();
  work.write("fetchmailrc", "poll pop.example.test with proto POP3 port 995 uidl user \"alice\" there with password "
                            "\"secret\" is \"root\" here options keep ssl sslcertfile \"" +
                                ca.pem() + "\" sslcertck bsmtp /dev/null\n");
  fs::permissions(work / "fetchmailrc", fs::perms::owner_read | fs::perms::owner_write);
  work.write("raw.py", kRawClient);
  const std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + w, "FETCHMAILHOME=" + w, "LANG=C.UTF-8",
                                     "SSL_CERT_FILE=" + ca.pem()};
  auto raw = [&]() -> double {
    fs::path out = work / "raw.out";
    if (run_program({"/usr/bin/python3", w + "/raw.py", std::to_string(kMails)}, env, &out) != 0) return -1;
    std::string t = work.read("raw.out");
    return t.empty() ? -1 : std::atof(t.c_str());
  };

  if (!session_fetch(65536)) std::fprintf(stderr, "warm-up failed\n");  // Dovecot's indexes

  bool ok2 = false, ok64 = false, raw_ok = false, fm_ok = false;
  double ours2 = measure(runs, [] { return timed([] { return session_fetch(2048); }); }, ok2);
  double ours64 = measure(runs, [] { return timed([] { return session_fetch(65536); }); }, ok64);
  double python = measure(runs, raw, raw_ok);
  double fetchmail = measure(
      runs,
      [&] {
        return timed([&] {
          fs::remove(work / "fetchids");
          return run_program({"/usr/bin/fetchmail", "-s", "-f", w + "/fetchmailrc", "--idfile", w + "/fetchids"},
                             env) == 0;
        });
      },
      fm_ok);

  auto row = [](const char* what, double secs, bool ok) {
    std::printf("  %-52s %8.3f s  %8.0f mails/s%s\n", what, secs, kMails / secs, ok ? "" : "  (FAILED)");
  };
  std::printf("\nFetch %d mails over TLS:\n", kMails);
  row("Pop3Session, UIDL then RETR each (chunk 2 KiB)", ours2, ok2);
  row("Pop3Session, UIDL then RETR each (chunk 64 KiB)", ours64, ok64);
  row("raw client, Python ssl, RETR one after another", python, raw_ok);
  row("fetchmail (ssl, sslcertck, keep uidl, bsmtp /dev/null)", fetchmail, fm_ok);
  const double ours = std::min(ours2, ours64);
  std::printf("  ours (best) / raw Python TLS client: %.2f (time; target at most 1.3)\n", ours / python);
  std::printf("  ours (chunk 2 KiB, as a check fetches 20 KB) / raw Python TLS client: %.2f (time)\n", ours2 / python);
  std::printf("  fetchmail / ours (best): %.2f (time)\n", fetchmail / ours);
  return ok2 && ok64 && raw_ok && fm_ok ? 0 : 1;
}
