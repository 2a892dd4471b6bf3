#include "engine/mail_processor.h"

#include <algorithm>

#include "engine/attachment_action.h"
#include "engine/backup_action.h"
#include "engine/delete_action.h"
#include "engine/forward_action.h"
#include "engine/key_info_action.h"
#include "engine/reply_action.h"
#include "res/string_table.h"
#include "rules/rule.h"
#include "stores/mailbox_account.h"
#include "stores/operation_log.h"

namespace pw {

void MailProcessor::add_rule(const Rule& rule) {
  matched_.push_back({&rule, MatchedRule::kAllActions});
  if (rule.has(ActionKind::confirm)) needs_confirmation_ = true;
}

bool MailProcessor::runs(size_t i, uint32_t bit) const {
  return (matched_[i].rule->action_mask & bit) != 0 && (matched_[i].action_mask & bit) != 0;
}

bool MailProcessor::waits_forever() const {
  return std::any_of(matched_.begin(), matched_.end(), [](const MatchedRule& m) {
    return m.rule->has(ActionKind::confirm) && m.rule->confirm_seconds == 0;
  });
}

bool MailProcessor::needs_download_for_extra() const {
  return (extra_.operations & (ExtraOperations::kForward | ExtraOperations::kBackup)) != 0 && !summary().full_text;
}

bool MailProcessor::has_extra_operations() const {
  return (extra_.operations & (ExtraOperations::kForward | ExtraOperations::kReply | ExtraOperations::kBackup)) != 0;
}

std::string MailProcessor::capture(const Rule& rule, int32_t k) const {
  return std::string(captures_.lookup(&rule, k));
}

bool MailProcessor::ensure_whole_mail(ActionHost& host) {
  if (summary().full_text) return true;
  DownloadResult result = host.download_mail({Pop3Account::of(account_.record()), summary().uid});
  switch (result.outcome) {
    case DownloadResult::Outcome::downloaded:
      set_whole_mail(std::move(result.text));
      return true;
    case DownloadResult::Outcome::not_on_server: host.warning(res::text(sid::kNotOnServer)); return false;
    case DownloadResult::Outcome::error: host.warning(res::text(sid::kDownloadError)); return false;
    case DownloadResult::Outcome::cancelled:
      return false;
  }
  return false;
}

uint32_t MailProcessor::mail_size() const {
  if (summary().size != 0) return summary().size;
  return static_cast<uint32_t>(reader_.text_size());
}

void MailProcessor::run_actions(const ActionServices& services) {
  std::vector<uint8_t> success(matched_.size(), 1);
  services.host.status_text(1, res::text(sid::kForwarding));
  ForwardAction(*this, services).run_step(success);
  services.host.status_text(1, res::text(sid::kBackingUp));
  BackupAction(*this, services).run_step(success);
  services.host.status_text(1, res::text(sid::kReplying));
  ReplyAction(*this, services).run_step(success);
  services.host.status_text(1, res::text(sid::kSavingKeyInfo));
  KeyInfoAction(*this, services).run_step(success);
  services.host.status_text(1, res::text(sid::kSavingAttachments));
  AttachmentAction(*this, services).run_step(success);
  DeleteAction(*this, services).run_step(success);
}

void MailProcessor::log_operation(const ActionServices& services, std::string_view description, bool success) {
  const std::string& address = account_.address();
  const LogRecord record = services.log.write(address, sender(), recipient(), subject(), description, success);
  if (!success) services.host.notice(res::text(sid::kErrorTitle), OperationLog::failure_notice(record));
}

}  // namespace pw
