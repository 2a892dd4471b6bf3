#pragma once
// The list chooser: a list of mailboxes or rules with a check box each, all
// unticked at first. OK binds the ticked rows, in row order: the rule to
// every ticked mailbox, or every ticked rule to the mailbox. Cancel binds
// nothing.
#include <QDialog>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QTreeWidget;

namespace pw {
class MailboxAccount;
class MailboxList;
class RuleStore;
struct Rule;
}  // namespace pw

namespace pw::ui {

class CListChooserDialog : public QDialog {
  Q_OBJECT

 public:
  // Which mailboxes use a new rule: caption "请选择应用此邮件规则的邮箱".
  CListChooserDialog(MailboxList& mailboxes, const Rule& rule, QWidget* parent = nullptr);
  // Which rules a new mailbox uses: caption "请选择此信箱应用的邮件规则".
  CListChooserDialog(MailboxList& mailboxes, const RuleStore& rules, MailboxAccount& account,
                     QWidget* parent = nullptr);

  void accept() override;

 private:
  CListChooserDialog(MailboxList& mailboxes, int caption_id, int column_id, QWidget* parent);

  MailboxList& mailboxes_;
  QTreeWidget* list_;
  // One binding per row: (account, rule id). The listed accounts are held
  // so that a row never names a released one.
  std::vector<std::pair<MailboxAccount*, int32_t>> rows_;
  std::vector<std::shared_ptr<MailboxAccount>> accounts_;
};

}  // namespace pw::ui
