// Save key information: the appended record and its failures.
#include "engine/key_info_action.h"

#include "action_fixture.h"
#include "base/code_page.h"
#include "rules/match_phase.h"
#include "rules/match_rule.h"
#include "net/sender_verifier.h"

namespace pw::test {
namespace {

class KeyInfoActionTest : public ActionFixture {
 protected:
  bool run(std::string file) {
    auto p = processor();
    Rule rule;
    rule.action_mask = bit(ActionKind::key_info);
    rule.key_info_file = std::move(file);
    rule.key_info_template = "#S# from #F#, ref #2#";
    p->add_rule(rule);
    p->add_capture(rule, 2, "Z9");
    std::vector<uint8_t> success(1, 1);
    KeyInfoAction(*p, services).run_step(success);
    return success[0] == 1;
  }
};

TEST_F(KeyInfoActionTest, eachRunAppendsOneRecord) {
  const LocalTime t = to_local(clock.now());
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d %02d/%02d/%04d\r\n", t.hour, t.minute, t.second, t.month, t.day,
                t.year);
  const std::string record = std::string(stamp) + "Order 42 from alice@example.test, ref Z9\r\n" +
                             std::string(50, '=') + "\r\n\r\n";
  EXPECT_EQ(KeyInfoAction::record(clock.now(), "Order 42 from alice@example.test, ref Z9"), record);

  ASSERT_TRUE(run((dir / "keys.txt").string()));
  ASSERT_TRUE(run((dir / "keys.txt").string()));
  EXPECT_EQ(dir.read("keys.txt"), record + record);
  ASSERT_EQ(log_records().size(), 2u);
  EXPECT_TRUE(log_records()[1].success);
}

// A new file is the owner's alone, an existing one keeps its mode; a name
// too long for the file system is cut to fit, keeping its extension, and
// every record reaches the same file.
TEST_F(KeyInfoActionTest, filesArePrivateAndLongNamesAreCut) {
  std::string long_name;
  for (int k = 0; k < 100; ++k) long_name += "报";
  std::string fitted;
  for (int k = 0; k < 83; ++k) fitted += "报";
  ASSERT_TRUE(run(utf8_to_gb((dir / "keys.txt").string())));
  ASSERT_TRUE(run(utf8_to_gb((dir / (long_name + ".txt")).string())));
  ASSERT_TRUE(run(utf8_to_gb((dir / (long_name + ".txt")).string())));
  EXPECT_EQ(file_mode(dir / "keys.txt"), 0600u);
  EXPECT_EQ(file_mode(dir / (fitted + ".txt")), 0600u);
  const std::string records = dir.read(fitted + ".txt");
  EXPECT_EQ(std::count(records.begin(), records.end(), '='), 100);
  dir.write("shared.txt", "");
  std::filesystem::permissions(dir / "shared.txt", std::filesystem::perms(0644));
  ASSERT_TRUE(run(utf8_to_gb((dir / "shared.txt").string())));
  EXPECT_EQ(file_mode(dir / "shared.txt"), 0644u);
}

TEST_F(KeyInfoActionTest, fileThatCannotBeOpenedFailsTheRule) {
  EXPECT_FALSE(run(dir.path().string()));  // a directory
  EXPECT_FALSE(run((dir / "no-such-dir" / "keys.txt").string()));
  EXPECT_FALSE(run(""));
  ASSERT_EQ(log_records().size(), 3u);
  EXPECT_FALSE(log_records()[2].success);
}

struct NoProbe : SenderVerifier {
  bool verify(std::string_view, std::string_view) override { return true; }
};

// The captures the matching phase records for a rule are the ones its
// template reads, through the processor.
TEST_F(KeyInfoActionTest, capturesOfTheMatchReachTheTemplate) {
  Rule rule;
  rule.condition_mask = bit(ConditionKind::body_pattern);
  rule.body_pattern = "*order *<#1> ships*";
  rule.action_mask = bit(ActionKind::key_info);
  rule.key_info_file = (dir / "orders.txt").string();
  rule.key_info_template = "#1#";
  auto p = processor("From: shop@example.test\r\n\r\nYour order A-77 ships today\r\n");
  const MatchItem items[] = {p->match_item()};
  const Rule* rules[] = {&rule};
  NoProbe probe;
  (void)run_match_phase(items, rules, MatchContext{"me@home.test", probe, clock});
  ASSERT_EQ(p->rule_count(), 1u);
  p->run_actions(services);
  EXPECT_EQ(dir.read("orders.txt"), KeyInfoAction::record(clock.now(), "A-77"));
}

}  // namespace
}  // namespace pw::test
