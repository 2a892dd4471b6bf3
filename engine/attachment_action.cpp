#include "engine/attachment_action.h"

#include "engine/mail_processor.h"
#include "engine/save_folder.h"
#include "rules/rule.h"
#include "rules/rule_description.h"
#include "stores/mailbox_account.h"

namespace pw {

bool AttachmentAction::save_all(std::string_view dir) {
  const MimeMessage& message = mail_.message();
  const int count = message.attachment_count();
  if (count <= 0) return true;
  const std::optional<SaveFolder> folder = SaveFolder::open(dir, mail_.account().address(), "Attachment");
  if (!folder) return false;
  bool ok = true;
  for (int j = 0; j < count; ++j) {
    const std::optional<std::string> data = message.attachment_data(j);
    const std::string name = SaveFolder::clean_name(message.attachment_name(j), "Unknow");
    if (!data || !folder->write_new(name, SaveFolder::Numbering::in_front, *data))
      ok = false;
  }
  return ok;
}

void AttachmentAction::run_step(std::vector<uint8_t>& success) {
  for (size_t i = 0; i < mail_.rule_count(); ++i) {
    if (!mail_.runs(i, bit(ActionKind::attachments))) continue;
    const Rule& rule = mail_.rule(i);
    const std::string refusal = SaveFolder::path_refusal(rule.attachment_dir);
    const bool ok = refusal.empty() && save_all(rule.attachment_dir);
    if (!ok) success[i] = 0;
    mail_.log_operation(services_, record_action_text(rule, ActionKind::attachments) + refusal, ok);
  }
}

}  // namespace pw
