#pragma once
// A real DNS server for tests: dnsmasq on 127.0.0.1:53 answering MX and A
// records that the test gives, started by the constructor and stopped by the
// destructor. Inside the tests' network namespace /etc/resolv.conf points at
// 127.0.0.1, so the system resolver (res_query, getaddrinfo) asks it. Names
// under .test and .invalid, and every name given, are answered only from the
// records (anything else there is "no such domain"). A domain's MX records
// are answered in the order given, whatever their preference values, so a
// test can put a less preferred exchanger first. Port 53 is fixed: tests
// that use it hold the ctest resource lock of the network tests.
//
//   test::DnsServer dns({{"example.test", "mx1.example.test", 10}},
//                       {{"mx1.example.test", "127.0.0.2"}});
//   ASSERT_TRUE(dns.running()) << dns.log();
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace pw::test {

class DnsServer {
 public:
  struct Mx {
    std::string domain;
    std::string exchanger;
    int preference = 10;
  };
  struct Host {
    std::string name;
    std::string address;  // IPv4 or IPv6
  };

  DnsServer(const std::vector<Mx>& mx, const std::vector<Host>& hosts);

  // False when dnsmasq did not come up or does not answer; log() tells why.
  [[nodiscard]] bool running() const { return ready_; }
  [[nodiscard]] std::string log() const;

 private:
  TempDir dir_;
  ChildProcess process_;
  bool ready_ = false;
};

}  // namespace pw::test
