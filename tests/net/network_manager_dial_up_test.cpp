// Dialling through a fake NetworkManager on a private bus: which profiles
// are offered, that a machine online is not dialled, activation outcomes
// with their reasons, and hang-up of the connection dialled, never another.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include "base/code_page.h"
#include "net/network_manager_dial_up.h"
#include "res/string_table.h"
#include "support/fake_network_manager.h"

namespace pw {
namespace {

using Calls = std::vector<std::string>;

std::string me() { return ::getpwuid(::getuid())->pw_name; }

TEST(NetworkManagerDialUp, offersTheProfilesThisUserMayActivateInOrder) {
  // Loopback is listed as a profile too (NetworkManager 1.42): never offered.
  test::FakeNetworkManager nm({.profiles = {"有线连接 1", "other=user:somebody-else", "modem",
                                            "mine=user:somebody-else,user:" + me()},
                               .loopback = true});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address());
  EXPECT_EQ(dial_up.list_entries(), (Calls{utf8_to_gb("有线连接 1"), "modem", "mine"}));
}

TEST(NetworkManagerDialUp, dialsUnlessOnlineAndHangsUpOnlyWhatItDialled) {
  struct Case {
    const char* name;
    test::FakeNetworkManagerOptions nm;
    Calls calls;
  };
  const Case cases[] = {
      {"nothing active", {.profiles = {"modem"}}, {"activate modem", "deactivate modem"}},
      // An active loopback connection is no way out.
      {"only loopback", {.profiles = {"modem"}, .loopback = true}, {"activate modem", "deactivate modem"}},
      // Online by the user's Wi-Fi: nothing dialled, and the Wi-Fi stays up.
      {"wi-fi", {.profiles = {"modem"}, .loopback = true, .wifi = true}, {}},
      {"a link the user brought up", {.profiles = {"modem"}, .up = {"modem"}}, {}},
  };
  for (const Case& c : cases) {
    test::FakeNetworkManager nm(c.nm);
    ASSERT_TRUE(nm.running()) << nm.log();
    NetworkManagerDialUp dial_up(nm.address());
    DialResult r = dial_up.dial({"modem", "123", "u", "p"});
    EXPECT_TRUE(r.ok()) << c.name << ": " << r.reason;
    // Online now: a second dial does nothing; hang-up takes the link down once.
    EXPECT_TRUE(dial_up.dial({"modem", "", "", ""}).ok()) << c.name;
    dial_up.hang_up();
    dial_up.hang_up();
    EXPECT_EQ(nm.calls(), c.calls) << c.name;
  }
}

TEST(NetworkManagerDialUp, failuresCarryNetworkManagersReason) {
  struct Case {
    const char* entry;
    int code;
    int text;
  };
  const Case cases[] = {
      {"modem", 9, sid::kNoSecrets},       // no secrets
      {"dsl", 6, sid::kConnectTimeout},         // connect timeout
      {"odd", 99, sid::kUnknownReason},        // a reason beyond the known ones reads as unknown
      {"missing", -2, sid::kNoSuchEntry},    // no such profile: nothing is activated
      {"slow", -3, sid::kActivationTimedOut},       // still activating at the limit: taken down again
  };
  test::FakeNetworkManager nm({.profiles = {"modem", "dsl", "odd", "slow"},
                               .failing = {"modem=9", "dsl=6", "odd=99"},
                               .slow = {"slow"}});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address(), std::chrono::seconds(1));
  for (const Case& c : cases) {
    DialResult r = dial_up.dial({c.entry, "", "", ""});
    EXPECT_EQ(r.code, c.code) << c.entry;
    EXPECT_EQ(r.reason, res::text(c.text)) << c.entry;
  }
  dial_up.hang_up();  // nothing of this program's is up
  EXPECT_EQ(nm.calls(),
            (Calls{"activate modem", "activate dsl", "activate odd", "activate slow", "deactivate slow"}));
}

TEST(NetworkManagerDialUp, withoutNetworkManagerTheDialFailsAndTheListIsEmpty) {
  NetworkManagerDialUp dial_up("unix:path=/nonexistent/bus");
  EXPECT_TRUE(dial_up.list_entries().empty());
  DialResult r = dial_up.dial({"modem", "", "", ""});
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.reason, res::text(sid::kNoBus));
  dial_up.hang_up();
}

}  // namespace
}  // namespace pw
