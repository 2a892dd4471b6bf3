// Dialling through a fake NetworkManager on a private bus: which profiles
// are offered, that an active connection suppresses dialling, activation
// outcomes with their reasons, and hang-up of the first active connection.
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
  test::FakeNetworkManager nm({.profiles = {"有线连接 1", "other=user:somebody-else", "modem",
                                            "mine=user:somebody-else,user:" + me()}});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address());
  EXPECT_EQ(dial_up.list_entries(), (Calls{utf8_to_gb("有线连接 1"), "modem", "mine"}));
}

TEST(NetworkManagerDialUp, anActiveConnectionSuppressesDialling) {
  test::FakeNetworkManager nm({.profiles = {"wired", "modem"}, .up = {"wired"}});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address());
  DialResult r = dial_up.dial({"modem", "123", "u", "p"});
  EXPECT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(nm.calls(), Calls{});
}

TEST(NetworkManagerDialUp, dialWaitsForTheActivationAndHangUpTakesItDown) {
  test::FakeNetworkManager nm({.profiles = {"wired", "modem"}});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address());
  DialResult r = dial_up.dial({"modem", "", "", ""});
  EXPECT_TRUE(r.ok()) << r.reason;
  EXPECT_EQ(nm.calls(), Calls{"activate modem"});
  // Now online: a second dial does nothing; hang-up takes the link down once.
  EXPECT_TRUE(dial_up.dial({"wired", "", "", ""}).ok());
  dial_up.hang_up();
  dial_up.hang_up();
  EXPECT_EQ(nm.calls(), Calls{"deactivate modem"});
}

TEST(NetworkManagerDialUp, failuresCarryNetworkManagersReason) {
  struct Case {
    const char* entry;
    int code;
    int text;
  };
  const Case cases[] = {
      {"modem", 9, 62619},       // no secrets
      {"dsl", 6, 62616},         // connect timeout
      {"odd", 99, 62610},        // a reason beyond the known ones reads as unknown
      {"missing", -2, 62603},    // no such profile: nothing is activated
  };
  test::FakeNetworkManager nm({.profiles = {"modem", "dsl", "odd"}, .failing = {"modem=9", "dsl=6", "odd=99"}});
  ASSERT_TRUE(nm.running()) << nm.log();
  NetworkManagerDialUp dial_up(nm.address());
  for (const Case& c : cases) {
    DialResult r = dial_up.dial({c.entry, "", "", ""});
    EXPECT_EQ(r.code, c.code) << c.entry;
    EXPECT_EQ(r.reason, res::text(c.text)) << c.entry;
  }
  EXPECT_EQ(nm.calls(), (Calls{"activate modem", "activate dsl", "activate odd"}));
}

TEST(NetworkManagerDialUp, withoutNetworkManagerTheDialFailsAndTheListIsEmpty) {
  NetworkManagerDialUp dial_up("unix:path=/nonexistent/bus");
  EXPECT_TRUE(dial_up.list_entries().empty());
  DialResult r = dial_up.dial({"modem", "", "", ""});
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.reason, res::text(62602));
  dial_up.hang_up();
}

}  // namespace
}  // namespace pw
