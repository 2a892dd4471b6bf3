#include "ui/frame/store_saver.h"

#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "stores/system_settings.h"
#include "ui/message_boxes.h"

namespace pw::ui {

StoreSaver::StoreSaver(const ProgramDir& dir, MailboxList& mailboxes, RuleStore& rules, SystemSettings& settings,
                       MessageBoxes& boxes)
    : dir_(dir), mailboxes_(mailboxes), rules_(rules), settings_(settings), boxes_(boxes) {}

void StoreSaver::save_mailboxes(QWidget* parent) {
  if (check_running_) {
    mailboxes_pending_ = true;
    return;
  }
  mailboxes_pending_ = false;
  StoreResult result = mailboxes_.save();
  if (!result.ok) show_failure(parent, result.text_id);
}

void StoreSaver::save_rules(QWidget* parent) {
  RuleSaveResult result = rules_.save(dir_);
  if (!result.ok) show_failure(parent, result.message_id);
}

void StoreSaver::save_settings(QWidget* parent) {
  StoreResult result = settings_.save(dir_);
  if (!result.ok) show_failure(parent, result.text_id);
}

void StoreSaver::set_check_running(bool running) {
  check_running_ = running;
  if (!running && mailboxes_pending_) save_mailboxes(nullptr);
}

void StoreSaver::show_failure(QWidget* parent, int text_id) { boxes_.show(parent, MessageKind::failure, text_id); }

}  // namespace pw::ui
