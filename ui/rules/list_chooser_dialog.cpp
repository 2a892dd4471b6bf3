#include "ui/rules/list_chooser_dialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "ui/check_list.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {

CListChooserDialog::CListChooserDialog(MailboxList& mailboxes, int caption_id, int column_id, QWidget* parent)
    : QDialog(parent), mailboxes_(mailboxes) {
  setObjectName(QStringLiteral("ListChooserDialog"));
  setWindowTitle(text(caption_id));
  list_ = make_check_list(this, text(column_id), "choices");
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  buttons->addButton(ui::text("取消"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CListChooserDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CListChooserDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(460, 300);
}

CListChooserDialog::CListChooserDialog(MailboxList& mailboxes, const Rule& rule, QWidget* parent)
    : CListChooserDialog(mailboxes, sid::kChooseMailboxesTitle, sid::kMailboxColumn, parent) {
  accounts_ = mailboxes.accounts();
  for (const auto& account : accounts_) {
    rows_.emplace_back(account.get(), rule.id);
    add_check_row(list_, from_gb(account->address()));
  }
}

CListChooserDialog::CListChooserDialog(MailboxList& mailboxes, const RuleStore& rules, MailboxAccount& account,
                                       QWidget* parent)
    : CListChooserDialog(mailboxes, sid::kChooseRulesTitle, sid::kRuleNameColumn, parent) {
  for (size_t i = 0; i < rules.count(); ++i) {
    rows_.emplace_back(&account, rules.at(i)->id);
    add_check_row(list_, from_gb(rules.at(i)->name));
  }
}

void CListChooserDialog::accept() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    auto [account, rule_id] = rows_[i];
    if (row_ticked(list_, static_cast<int>(i))) mailboxes_.bind(*account, static_cast<uint32_t>(rule_id));
  }
  QDialog::accept();
}

}  // namespace pw::ui
