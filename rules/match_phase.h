#pragma once
// The matching phase of a mailbox check: every new mail against every rule
// bound to the mailbox.
#include <cstdint>
#include <span>
#include <vector>

#include "rules/matched_rule.h"

namespace pw {

class CaptureList;
class MailReader;
struct MatchContext;
struct Rule;

// One new mail as the check holds it: its fields, its captures, the rules it
// met with their action masks, and whether the user is to confirm it.
struct MatchItem {
  MailReader& mail;
  CaptureList& captures;
  std::vector<MatchedRule>& matched;
  bool& to_be_confirmed;
};

struct MatchPhaseResult {
  bool confirmation_wanted = false;
  // Seconds the confirmation counts down: 0 waits for ever (some matched
  // confirming rule has no countdown), otherwise the largest countdown among
  // the matched confirming rules, at least 1.
  int32_t countdown = 1;
};

// For each mail in order, for each rule in binding order: a rule the mail
// meets is appended to its matched rules with every action selected; a
// matched rule that asks first marks the mail to be confirmed and counts
// toward the countdown. The caller shows the step text (sid::kMatching) before.
// The same for one mail, adding to `result`: a check that holds one mail's
// text at a time matches them one by one.
void match_mail(const MatchItem& mail, std::span<const Rule* const> rules, const MatchContext& context,
                MatchPhaseResult& result);
[[nodiscard]] MatchPhaseResult run_match_phase(std::span<const MatchItem> mails, std::span<const Rule* const> rules,
                                               const MatchContext& context);

}  // namespace pw
