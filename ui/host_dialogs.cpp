#include "ui/host_dialogs.h"

#include "ui/notice_box.h"
#include "ui/password_dialog.h"

namespace pw::ui {

void QtHostDialogs::notice(QWidget* parent, const QString& title, const QString& message) {
  CNoticeBox::show_notice(parent, title, message);
}

std::optional<LoginData> QtHostDialogs::correct_login(QWidget* parent, const LoginData& refused) {
  return CPasswordDialog::ask(parent, refused);
}

}  // namespace pw::ui
