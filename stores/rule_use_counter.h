#pragma once
// How the account store tells the rule store that a rule gained or lost a
// bound account. Accounts refer to rules only by their 32-bit id, so the
// stores need nothing of the rule layer; the rule store implements this to
// keep each rule's use count in step with the bindings.
#include <cstdint>

namespace pw {

class RuleUseCounter {
 public:
  virtual ~RuleUseCounter() = default;
  virtual void rule_bound(uint32_t rule_id) = 0;    // use count + 1
  virtual void rule_unbound(uint32_t rule_id) = 0;  // use count - 1
};

}  // namespace pw
