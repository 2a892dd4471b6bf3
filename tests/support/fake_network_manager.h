#pragma once
// A fake NetworkManager for tests: a private D-Bus daemon started for the
// test and, on it, the small service of fake_network_manager.py with the
// profiles the test names. Both stop when the object goes.
//
//   test::FakeNetworkManager nm({.profiles = {"modem"}, .up = {"modem"}});
//   ASSERT_TRUE(nm.running()) << nm.log();
//   NetworkManagerDialUp dial_up(nm.address());
#include <chrono>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace pw::test {

struct FakeNetworkManagerOptions {
  std::vector<std::string> profiles = {};  // "ID" or "ID=user:NAME,user:OTHER"
  std::vector<std::string> failing = {};   // "ID=REASON": activation ends deactivated
  std::vector<std::string> up = {};        // ids active from the start
  std::vector<std::string> slow = {};      // ids whose activation never settles
  bool loopback = false;  // "lo", externally managed, active first (not online)
  bool wifi = false;      // "wifi", up from the start, before the ids of `up`
};

class FakeNetworkManager {
 public:
  explicit FakeNetworkManager(const FakeNetworkManagerOptions& options);

  [[nodiscard]] bool running() const { return ready_; }
  // The private bus's address.
  [[nodiscard]] const std::string& address() const { return address_; }
  // The calls served since the last time ("activate ID", "deactivate ID").
  [[nodiscard]] std::vector<std::string> calls(std::chrono::milliseconds settle = std::chrono::milliseconds(100));
  [[nodiscard]] std::string log() const;

 private:
  TempDir dir_;
  ChildProcess bus_;
  ChildProcess service_;
  std::string address_;
  bool ready_ = false;
};

}  // namespace pw::test
