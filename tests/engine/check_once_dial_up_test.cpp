// The headless check dials before it checks and hangs up after it through
// NetworkManager (a fake one on a private bus).
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/check_once.h"
#include "net/network_manager_dial_up.h"
#include "res/string_table.h"
#include "stores/system_settings.h"
#include "support/fake_network_manager.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

using Calls = std::vector<std::string>;

struct Case {
  const char* name;
  test::FakeNetworkManagerOptions nm;
  uint32_t options;
  int exit_code;
  Calls calls;
};

TEST(CheckOnceDialUp, dialsAndHangsUpAsTheSettingsSay) {
  const uint32_t dial = SystemSettings::kAutoDial;
  const uint32_t hang = SystemSettings::kAutoDial | SystemSettings::kHangUp;
  const Case cases[] = {
      {"dial and hang up", {.profiles = {"modem"}}, hang, 0, {"activate modem", "deactivate modem"}},
      {"dial only", {.profiles = {"modem"}}, dial, 0, {"activate modem"}},
      // Online by Wi-Fi already: nothing dialled, and the Wi-Fi stays up.
      {"wi-fi is up", {.profiles = {"modem"}, .loopback = true, .wifi = true}, hang, 0, {}},
      {"only loopback is up", {.profiles = {"modem"}, .loopback = true}, hang, 0,
       {"activate modem", "deactivate modem"}},
      {"dialling fails", {.profiles = {"modem"}, .failing = {"modem=10"}}, hang, 1, {"activate modem"}},
      {"auto-dial off", {.profiles = {"modem"}}, 0, 0, {}},
  };
  for (const Case& c : cases) {
    test::FakeNetworkManager nm(c.nm);
    ASSERT_TRUE(nm.running()) << nm.log();
    test::TempDir dir;
    ProgramDir program(dir.path());
    SystemSettings settings;
    settings.options = c.options;
    settings.dial_entry = "modem";
    ASSERT_TRUE(settings.save(program).ok);
    NetworkManagerDialUp dial_up(nm.address());
    std::FILE* out = std::tmpfile();
    CheckOnceOptions options;
    options.out = out;
    options.dial_up = &dial_up;

    EXPECT_EQ(run_check_once(program, options), c.exit_code) << c.name;
    EXPECT_EQ(nm.calls(), c.calls) << c.name;
    std::rewind(out);
    char text[4096] = {};
    (void)std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    const bool reported = std::string(text).find(res::text_utf8(sid::kDialUpError)) != std::string::npos;
    EXPECT_EQ(reported, c.exit_code != 0) << c.name << ": " << text;
  }
}

}  // namespace
}  // namespace pw
