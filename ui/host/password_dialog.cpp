#include "ui/host/password_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {

CPasswordDialog::CPasswordDialog(const LoginData& refused, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PasswordDialog"));
  setWindowTitle(ui::text("密码错误"));

  user_ = new QLineEdit(this);
  user_->setObjectName(QStringLiteral("user"));
  limit_gb_bytes(user_, kUserLimit);
  user_->setText(from_gb(refused.user));
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("password"));
  password_->setEchoMode(QLineEdit::Password);
  limit_gb_bytes(password_, kPasswordLimit);
  password_->setText(from_gb(refused.password));

  auto* form = new QFormLayout;
  auto add_row = [&](const QString& label, QLineEdit* field) {
    auto* l = new QLabel(label, this);
    l->setBuddy(field);
    form->addRow(l, field);
  };
  add_row(ui::text("登录名(&N)"), user_);
  add_row(ui::text("密码(&P)"), password_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  buttons->addButton(ui::text("取消"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CPasswordDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPasswordDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  // The password is what was most likely mistyped.
  password_->setFocus();
  password_->selectAll();
}

LoginData CPasswordDialog::login() const { return {to_gb(user_->text()), to_gb(password_->text())}; }

std::optional<LoginData> CPasswordDialog::ask(QWidget* parent, const LoginData& refused) {
  CPasswordDialog dialog(refused, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.login();
}

}  // namespace pw::ui
