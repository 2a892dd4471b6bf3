#pragma once
// The mailbox dialog "邮箱信息": edits the stored record of one account, or
// the record of a new one. The address of an existing account is fixed (it
// names the account's seen-mail file).
#include <QDialog>

#include "stores/mailbox_record.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pw {
class MailboxAccount;
class MailboxList;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

class CMailboxDialog : public QDialog {
  Q_OBJECT

 public:
  // A new account when `account` is null. `list` is asked whether a new
  // address exists already.
  CMailboxDialog(const MailboxList& list, MessageBoxes& boxes, const MailboxAccount* account,
                 QWidget* parent = nullptr);

  // The record as entered, valid once the dialog ended with OK. For a new
  // account every field not in the dialog is zero.
  [[nodiscard]] const MailboxRecord& record() const { return record_; }

  // Validates in the fixed order, showing only the first failure and keeping
  // the dialog open; stores the record and closes with OK when all pass.
  void accept() override;

 private:
  void fill(const MailboxRecord& record);
  void update_enabling();
  [[nodiscard]] bool validate();
  [[nodiscard]] bool fail(QLineEdit* field, int text_id);
  void store();

  const MailboxList& list_;
  MessageBoxes& boxes_;
  const bool new_account_;
  MailboxRecord record_;

  QLineEdit* address_;
  QLineEdit* login_name_;
  QLineEdit* password_;
  QLineEdit* pop_server_;
  QLineEdit* smtp_server_;
  QCheckBox* smtp_auth_;
  QCheckBox* require_tls_;  // both servers only over TLS
  QRadioButton* same_as_pop_;
  QRadioButton* own_credentials_;
  QLineEdit* smtp_login_name_;
  QLineEdit* smtp_password_;
};

}  // namespace pw::ui
