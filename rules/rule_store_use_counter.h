#pragma once
// Keeps each rule's use count in step with the mailbox bindings: the account
// store reports every bind and unbind by rule id, and this passes them on to
// the rule store.
#include <cstdint>

#include "rules/rule_store.h"
#include "stores/rule_use_counter.h"

namespace pw {

class RuleStoreUseCounter final : public RuleUseCounter {
 public:
  explicit RuleStoreUseCounter(RuleStore& rules) : rules_(rules) {}
  void rule_bound(uint32_t id) override { (void)rules_.change_use_count(static_cast<int32_t>(id), 1); }
  void rule_unbound(uint32_t id) override { (void)rules_.change_use_count(static_cast<int32_t>(id), -1); }

 private:
  RuleStore& rules_;
};

}  // namespace pw
