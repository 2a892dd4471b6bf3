#pragma once
// A rule that a mail met, with the actions still to run for that mail.
#include <cstdint>

namespace pw {

struct Rule;

struct MatchedRule {
  static constexpr uint32_t kAllActions = 0xffffffffu;

  const Rule* rule = nullptr;
  // ActionKind bits; all ones when matched (every action of the rule runs),
  // the confirmation may clear bits.
  uint32_t action_mask = kAllActions;
};

}  // namespace pw
