#pragma once
// Writes the stores when a dialog or command has changed them, so that an
// edit survives a crash and not only an orderly exit. Each save replaces the
// file atomically and keeps the objects in memory; a failure is shown with
// the store's text (sid::kMailboxesFileFailed, sid::kRulesFileFailed, sid::kSettingsFileFailed).
//
// While a check runs, the account save waits until the check has ended, so
// that log-in data the check corrected is saved with the rest.
class QWidget;

namespace pw {
class MailboxList;
class ProgramDir;
class RuleStore;
struct SystemSettings;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

class StoreSaver {
 public:
  StoreSaver(const ProgramDir& dir, MailboxList& mailboxes, RuleStore& rules, SystemSettings& settings,
             MessageBoxes& boxes);

  void save_mailboxes(QWidget* parent);
  void save_rules(QWidget* parent);
  void save_settings(QWidget* parent);

  // The frame tells the saver when a check starts and ends; at the end the
  // account save that waited is made.
  void set_check_running(bool running);
  [[nodiscard]] bool mailboxes_pending() const { return mailboxes_pending_; }

 private:
  void show_failure(QWidget* parent, int text_id);

  const ProgramDir& dir_;
  MailboxList& mailboxes_;
  RuleStore& rules_;
  SystemSettings& settings_;
  MessageBoxes& boxes_;
  bool check_running_ = false;
  bool mailboxes_pending_ = false;
};

}  // namespace pw::ui
