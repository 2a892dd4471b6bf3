#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "match_support.h"
#include "rules/capture_list.h"
#include "rules/match_phase.h"
#include "rules/match_rule.h"

namespace pw {
namespace {

using K = ConditionKind;

// What the check keeps per new mail.
struct NewMail {
  explicit NewMail(const char* text) : mail(test::make_mail(text)) {}
  MailReader mail;
  CaptureList captures;
  std::vector<MatchedRule> matched;
  bool to_be_confirmed = false;
};

class MatchPhaseTest : public ::testing::Test {
 protected:
  // A rule that matches mails whose subject holds `word`.
  Rule& add_rule(const char* word, bool confirm = false, int32_t seconds = 0) {
    Rule& rule = rules_.emplace_back(test::make_rule({K::subject_words}));
    rule.word_lists[4] = std::string(word) + ";";
    rule.action_mask = bit(ActionKind::forward) | (confirm ? bit(ActionKind::confirm) : 0);
    rule.confirm_seconds = seconds;
    bound_.push_back(&rule);
    return rule;
  }
  NewMail& add_mail(const char* subject) {
    return mails_.emplace_back((std::string("Subject: ") + subject + "\n\nx\n").c_str());
  }
  MatchPhaseResult run() {
    std::vector<MatchItem> items;
    for (NewMail& m : mails_) items.push_back({m.mail, m.captures, m.matched, m.to_be_confirmed});
    test::ForbiddenVerifier verifier;
    FixedClock clock(0);
    return run_match_phase(items, bound_, {"me@home.org", verifier, clock});
  }

  std::deque<Rule> rules_;
  std::vector<const Rule*> bound_;
  std::deque<NewMail> mails_;
};

TEST_F(MatchPhaseTest, matchedRulesInBindingOrderWithAllActions) {
  const Rule& second_bound = add_rule("b");
  const Rule& first_bound = add_rule("a");
  std::swap(bound_[0], bound_[1]);
  NewMail& both = add_mail("a b");
  NewMail& none = add_mail("c");
  const MatchPhaseResult result = run();
  ASSERT_EQ(both.matched.size(), 2u);
  EXPECT_EQ(both.matched[0].rule, &first_bound);
  EXPECT_EQ(both.matched[1].rule, &second_bound);
  EXPECT_EQ(both.matched[0].action_mask, 0xffffffffu);
  EXPECT_TRUE(none.matched.empty());
  EXPECT_FALSE(result.confirmation_wanted);
  EXPECT_EQ(result.countdown, 1);
  EXPECT_FALSE(both.to_be_confirmed);
}

TEST_F(MatchPhaseTest, countdownIsLargestOrWaitsForEver) {
  struct Case {
    std::vector<int32_t> seconds;  // confirming rules that match, in binding order
    int32_t expected;
  };
  const Case cases[] = {
      {{5}, 5},
      {{5, 30, 10}, 30},
      {{5, 0, 30}, 0},  // once 0, it stays 0
      {{0, 30}, 0},
  };
  for (const auto& c : cases) {
    rules_.clear();
    bound_.clear();
    mails_.clear();
    for (int32_t s : c.seconds) add_rule("x", true, s);
    add_mail("x");
    const MatchPhaseResult result = run();
    EXPECT_TRUE(result.confirmation_wanted);
    EXPECT_EQ(result.countdown, c.expected) << c.seconds.size();
  }
}

TEST_F(MatchPhaseTest, onlyMailsMatchedByAConfirmingRuleAreToBeConfirmed) {
  add_rule("ask", true, 15);
  add_rule("act");
  NewMail& asks = add_mail("ask");
  NewMail& acts = add_mail("act");
  const MatchPhaseResult result = run();
  EXPECT_TRUE(asks.to_be_confirmed);
  EXPECT_FALSE(acts.to_be_confirmed);
  EXPECT_EQ(acts.matched.size(), 1u);
  EXPECT_TRUE(result.confirmation_wanted);
  EXPECT_EQ(result.countdown, 15);
}

TEST_F(MatchPhaseTest, confirmingRuleThatDoesNotMatchChangesNothing) {
  add_rule("ask", true, 0);
  add_rule("act");
  NewMail& acts = add_mail("act");
  const MatchPhaseResult result = run();
  EXPECT_FALSE(result.confirmation_wanted);
  EXPECT_EQ(result.countdown, 1);
  EXPECT_FALSE(acts.to_be_confirmed);
}

}  // namespace
}  // namespace pw
