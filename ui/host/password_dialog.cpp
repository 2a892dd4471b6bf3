#include "ui/host/password_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
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
  form->addRow(make_label(this, ui::text("登录名(&N)"), user_), user_);
  form->addRow(make_label(this, ui::text("密码(&P)"), password_), password_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  add_ok_cancel(this, layout);
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
