#include "engine/attachment_action.h"

#include "engine/mail_processor.h"
#include "engine/save_folder.h"
#include "rules/rule.h"
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
  mail_.run_for_rules(services_, ActionKind::attachments, success, [&](const Rule& rule, std::string& note) {
    note = SaveFolder::path_refusal(rule.attachment_dir);
    return note.empty() && save_all(rule.attachment_dir);
  });
}

}  // namespace pw
