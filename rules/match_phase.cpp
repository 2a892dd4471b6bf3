#include "rules/match_phase.h"

#include "rules/match_rule.h"
#include "rules/rule.h"

namespace pw {

void match_mail(const MatchItem& item, std::span<const Rule* const> rules, const MatchContext& context,
                MatchPhaseResult& result) {
  for (const Rule* rule : rules) {
    if (!match_rule(item.mail, item.captures, *rule, context)) continue;
    item.matched.push_back({rule, MatchedRule::kAllActions});
    if (!rule->has(ActionKind::confirm)) continue;
    item.to_be_confirmed = true;
    result.confirmation_wanted = true;
    // Once some rule waits for ever, the confirmation does.
    if (result.countdown != 0) {
      if (rule->confirm_seconds == 0) {
        result.countdown = 0;
      } else if (rule->confirm_seconds > result.countdown) {
        result.countdown = rule->confirm_seconds;
      }
    }
  }
}

MatchPhaseResult run_match_phase(std::span<const MatchItem> mails, std::span<const Rule* const> rules,
                                 const MatchContext& context) {
  MatchPhaseResult result;
  for (const MatchItem& item : mails) match_mail(item, rules, context, result);
  return result;
}

}  // namespace pw
