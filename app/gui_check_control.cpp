#include "app/gui_check_control.h"

namespace pw::app {

GuiCheckControl::GuiCheckControl(const ProgramDir& dir, CheckServices services, const RuleStore& rules,
                                 const SystemSettings& settings)
    : dir_(dir), rules_(rules), settings_(settings), run_(std::move(services)) {}

bool GuiCheckControl::start(std::shared_ptr<MailboxAccount> account) {
  if (run_.check_running()) return false;
  if (!lock_) {
    auto lock = std::make_unique<DirectoryLock>(dir_.file(DirectoryLock::kCheckLockName));
    if (!lock->locked()) return false;  // a headless check of this directory is on
    lock_ = std::move(lock);
  }
  if (run_.start(std::move(account), RunSettings::from(rules_, settings_))) return true;
  run_ended();
  return false;
}

void GuiCheckControl::run_ended() {
  if (!run_.check_running()) lock_.reset();
}

}  // namespace pw::app
