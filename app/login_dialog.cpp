#include "app/login_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::app {

CLoginDialog::CLoginDialog(std::string password, QWidget* parent) : QDialog(parent), password_(std::move(password)) {
  setObjectName(QStringLiteral("LoginDialog"));
  setWindowTitle(ui::text("登录"));
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("LoginPassword"));
  edit_->setEchoMode(QLineEdit::Password);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(ui::make_label(this, ui::text("登录密码(&P)"), edit_));
  row->addWidget(edit_, 1);
  layout->addLayout(row);
  ui::add_ok_cancel(this, layout);
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
