#include "support/dns_server.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <poll.h>
#include <resolv.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <set>

namespace pw::test {
namespace {

// True once a DNS query to 127.0.0.1:53 gets any answer within `limit`.
bool answers(std::chrono::milliseconds limit) {
  unsigned char query[NS_PACKETSZ];
  int length = res_mkquery(ns_o_query, "ready.test", ns_c_in, ns_t_a, nullptr, 0, nullptr, query, sizeof query);
  if (length < 0) return false;
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(53);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto deadline = std::chrono::steady_clock::now() + limit;
  bool ok = false;
  while (!ok && std::chrono::steady_clock::now() < deadline) {
    // Until dnsmasq listens a send may fail or go unanswered: ask again.
    ::sendto(fd, query, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) {
      unsigned char reply[NS_PACKETSZ];
      ok = ::recv(fd, reply, sizeof reply, 0) > 0;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

DnsServer::DnsServer(const std::vector<Mx>& mx, const std::vector<Host>& hosts) {
  std::vector<std::string> argv = {"/usr/sbin/dnsmasq",
                                   "--keep-in-foreground",
                                   "--conf-file=/dev/null",
                                   "--port=53",
                                   "--listen-address=127.0.0.1",
                                   "--bind-interfaces",
                                   "--no-resolv",
                                   "--no-hosts",
                                   "--no-poll",
                                   "--no-negcache",
                                   "--log-facility=-",
                                   "--pid-file=" + (dir_ / "dnsmasq.pid").string()};
  std::set<std::string> local = {"test", "invalid"};
  // dnsmasq answers a domain's MX records in the reverse of their order on its
  // command line: hand them over reversed so answers come in the order given.
  for (auto it = mx.rbegin(); it != mx.rend(); ++it) {
    const Mx& m = *it;
    local.insert(m.domain);
    argv.push_back("--mx-host=" + m.domain + "," + m.exchanger + "," + std::to_string(m.preference));
  }
  for (const Host& h : hosts) {
    local.insert(h.name);
    argv.push_back("--host-record=" + h.name + "," + h.address);
  }
  for (const std::string& domain : local) argv.push_back("--local=/" + domain + "/");
  if (!process_.start(argv, dir_ / "dnsmasq.log")) return;
  ready_ = answers(std::chrono::seconds(5));
}

std::string DnsServer::log() const { return dir_.read("dnsmasq.log"); }

}  // namespace pw::test
