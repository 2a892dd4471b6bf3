#include "ui/host/host_dialogs.h"

#include <QApplication>

#include "ui/confirm/confirm_mails_dialog.h"
#include "ui/rules/extra_editors.h"
#include "ui/file_dialogs.h"
#include "ui/mail/download_dialog.h"
#include "ui/message_boxes.h"
#include "ui/host/notice_box.h"
#include "ui/host/password_dialog.h"

namespace pw::ui {

void HostDialogs::confirm(QWidget* parent, std::string_view address, std::span<MailProcessor* const> mails,
                          int countdown_seconds) {
  QtMessageBoxes boxes;
  QtFileDialogs files;
  QtExtraEditors editors(boxes, files, pick_recipients_);
  // A mail to view is downloaded through the download dialog, over the window.
  auto download = [pop3 = pop3_](const DownloadRequest& request) {
    return CDownloadDialog::download(request, pop3, QApplication::activeModalWidget());
  };
  ConfirmMailsDialog dialog(parent, address, mails, countdown_seconds, {boxes, editors, download, view_mail_});
  (void)dialog.exec();
}

void QtHostDialogs::notice(QWidget* parent, const QString& title, const QString& message) {
  CNoticeBox::show_notice(parent, title, message);
}

std::optional<LoginData> QtHostDialogs::correct_login(QWidget* parent, const LoginData& refused) {
  return CPasswordDialog::ask(parent, refused);
}

}  // namespace pw::ui
