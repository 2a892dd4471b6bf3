#pragma once
// The configure-rules dialog "配置规则": per mailbox, which rules apply. The
// ticks of the mailbox shown are stored (its bindings replaced by the ticked
// rules, in row order) when another mailbox is chosen and when the dialog
// closes. There is no OK or Cancel: closing keeps what was stored.
#include <QDialog>

#include <cstdint>
#include <memory>
#include <vector>

class QComboBox;
class QTreeWidget;

namespace pw {
class MailboxAccount;
class MailboxList;
class RuleStore;
}  // namespace pw

namespace pw::ui {

class CConfigureRulesDialog : public QDialog {
  Q_OBJECT

 public:
  CConfigureRulesDialog(MailboxList& mailboxes, const RuleStore& rules, QWidget* parent = nullptr);

  void done(int result) override;

 private:
  void show_mailbox(int index);
  void store_ticks();

  MailboxList& mailboxes_;
  // The rows as the dialog opened: mailboxes in store order, rule ids in
  // store order.
  std::vector<std::shared_ptr<MailboxAccount>> accounts_;
  std::vector<int32_t> rule_ids_;
  QComboBox* mailbox_;
  QTreeWidget* list_;
  std::shared_ptr<MailboxAccount> shown_;
};

}  // namespace pw::ui
