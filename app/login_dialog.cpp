#include "app/login_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::app {

CLoginDialog::CLoginDialog(std::string password, QWidget* parent) : QDialog(parent), password_(std::move(password)) {
  setObjectName(QStringLiteral("LoginDialog"));
  setWindowTitle(ui::text("登录"));
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("LoginPassword"));
  edit_->setEchoMode(QLineEdit::Password);
  auto* label = new QLabel(ui::text("登录密码(&P)"), this);
  label->setBuddy(edit_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(ui::text("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CLoginDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CLoginDialog::reject);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(edit_, 1);
  layout->addLayout(row);
  layout->addWidget(buttons);
  setMinimumWidth(300);
}

void CLoginDialog::accept() {
  if (ui::to_gb(edit_->text()) == password_) {
    QDialog::accept();
    return;
  }
  edit_->setFocus();
  edit_->selectAll();
}

}  // namespace pw::app
