#pragma once
// The mailbox dialog "邮箱信息": edits the stored record of one account, or
// the record of a new one. The address of an existing account is fixed (it
// names the account's seen-mail file).
#include <QDialog>
#include <optional>

#include "net/oauth_token.h"
#include "stores/mailbox_record.h"
#include "stores/oauth_store.h"
#include "ui/settings/settings_check.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pw {
class MailboxAccount;
class MailboxList;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;
class OAuthSignIn;

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

  // The browser sign-in ("登录..."): for tests, what opens the browser.
  void set_browser(std::function<bool(const QUrl&)> open) { browser_ = std::move(open); }
  // The sign-in in progress, for tests; null when none.

 private:
  [[nodiscard]] MailboxRecord::SignIn method() const;
  [[nodiscard]] OAuthClient client_entered() const;
  void start_sign_in();
  void signed_in(const TokenGrant& grant, const QString& address);
  void show_sign_in_state();
  // Writes the sign-in (custom endpoints, a new grant) to the token file.
  [[nodiscard]] bool store_sign_in();
  void fill(const MailboxRecord& record);
  void update_enabling();
  [[nodiscard]] MailboxForm form() const;
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
  bool tls_shown_ = false;  // how the box was shown when the dialog opened
  QRadioButton* same_as_pop_;
  QRadioButton* own_credentials_;
  QLineEdit* smtp_login_name_;
  QLineEdit* smtp_password_;

  // Sign-in with OAuth 2.0.
  OAuthStore oauth_;
  QComboBox* sign_in_;
  QLineEdit* authorize_url_;
  QLineEdit* token_url_;
  QLineEdit* scope_;
  QLineEdit* client_id_;
  QLineEdit* client_secret_;
  QPushButton* sign_in_button_;
  QLabel* sign_in_state_;
  QLineEdit* sign_in_address_;  // the authorization address, when no browser opened it
  OAuthSignIn* flow_ = nullptr;
  std::optional<TokenGrant> grant_;  // signed in, not yet stored
  QString signed_in_as_;
  std::function<bool(const QUrl&)> browser_;
};

}  // namespace pw::ui
