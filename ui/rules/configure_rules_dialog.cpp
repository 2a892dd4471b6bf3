#include "ui/rules/configure_rules_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "ui/check_list.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {

CConfigureRulesDialog::CConfigureRulesDialog(MailboxList& mailboxes, const RuleStore& rules, QWidget* parent)
    : QDialog(parent), mailboxes_(mailboxes), accounts_(mailboxes.accounts()) {
  setObjectName(QStringLiteral("ConfigureRulesDialog"));
  setWindowTitle(ui::text("配置规则"));

  mailbox_ = new QComboBox(this);
  mailbox_->setObjectName(QStringLiteral("mailbox"));
  for (const auto& account : accounts_) mailbox_->addItem(from_gb(account->address()));
  auto* label = new QLabel(ui::text("邮箱名称(&N)"), this);
  label->setBuddy(mailbox_);

  list_ = make_check_list(this, text(sid::kRuleNameColumn), "rules");
  for (size_t i = 0; i < rules.count(); ++i) {
    rule_ids_.push_back(rules.at(i)->id);
    add_check_row(list_, from_gb(rules.at(i)->name));
  }

  auto* top = new QHBoxLayout;
  top->addWidget(label);
  top->addWidget(mailbox_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_);
  // Closing keeps the ticks; the button is the way out where the window
  // manager draws no close box.
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("close"));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close);
  layout->addLayout(bottom);
  resize(460, 320);

  show_mailbox(0);
  connect(mailbox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    store_ticks();
    show_mailbox(index);
  });
}

void CConfigureRulesDialog::show_mailbox(int index) {
  shown_ = index >= 0 && size_t(index) < accounts_.size() ? accounts_[size_t(index)] : nullptr;
  for (size_t row = 0; row < rule_ids_.size(); ++row) {
    bool bound = shown_ && shown_->is_bound(static_cast<uint32_t>(rule_ids_[row]));
    list_->topLevelItem(static_cast<int>(row))->setCheckState(0, bound ? Qt::Checked : Qt::Unchecked);
  }
}

void CConfigureRulesDialog::store_ticks() {
  if (!shown_) return;
  mailboxes_.unbind_all(*shown_);
  for (size_t row = 0; row < rule_ids_.size(); ++row) {
    if (row_ticked(list_, static_cast<int>(row))) mailboxes_.bind(*shown_, static_cast<uint32_t>(rule_ids_[row]));
  }
}

void CConfigureRulesDialog::done(int result) {
  store_ticks();
  shown_.reset();
  QDialog::done(result);
}

}  // namespace pw::ui
