#include "engine/delete_action.h"

#include "engine/mail_processor.h"
#include "engine/pending_deletion.h"
#include "res/language.h"
#include "res/string_ids.h"
#include "rules/rule.h"
#include "rules/rule_description.h"

namespace pw {

void DeleteAction::run_step(const std::vector<uint8_t>& success) {
  std::string description;
  for (size_t i = 0; i < mail_.rule_count() && description.empty(); ++i) {
    if (!mail_.runs(i, bit(ActionKind::delete_on_server))) continue;
    const Rule& rule = mail_.rule(i);
    if (rule.delete_always || success[i]) description = record_action_text(rule, ActionKind::delete_on_server);
  }
  if (description.empty() && mail_.extra().has(ExtraOperations::kDelete))
    description = res::record_text(sid::kOneOffDelete);
  if (description.empty()) return;
  services_.deletions.push(
      {mail_.summary().uid, mail_.sender(), mail_.recipient(), mail_.subject(), std::move(description), false});
}

}  // namespace pw
