#pragma once
// The dialogs the engine host opens for the check run: the notice box and
// the password dialog. The host shows them through this interface so that
// tests answer them without a modal loop.
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/pop3_opener.h"
#include "net/login_prompt.h"

class QWidget;

namespace pw {
class MailProcessor;
}

namespace pw::ui {

class HostDialogs {
 public:
  virtual ~HostDialogs() = default;
  // The notice box; returns once it closed (at the latest after ten seconds).
  virtual void notice(QWidget* parent, const QString& title, const QString& message) = 0;
  // The password dialog filled with `refused` (GB18030): the corrected data,
  // or nullopt when the user gives up.
  [[nodiscard]] virtual std::optional<LoginData> correct_login(QWidget* parent, const LoginData& refused) = 0;
  // The confirmation window over the new mails of `address`; returns once it
  // closed. The real window unless a test answers otherwise.
  virtual void confirm(QWidget* parent, std::string_view address, std::span<MailProcessor* const> mails,
                       int countdown_seconds);

  // The address-book button of the window's forward dialog; without one the
  // button picks nothing.
  void set_recipient_picker(std::function<std::string(QWidget*)> picker) { pick_recipients_ = std::move(picker); }
  // The window's view button: the mail viewer; without one it shows nothing.
  void set_mail_viewer(std::function<void(QWidget*, MailProcessor&)> viewer) { view_mail_ = std::move(viewer); }
  // How the window's download of a mail to view opens its session.
  void set_pop3(Pop3Options options) { pop3_ = std::move(options); }

 private:
  std::function<std::string(QWidget*)> pick_recipients_;
  std::function<void(QWidget*, MailProcessor&)> view_mail_;
  Pop3Options pop3_;
};

class QtHostDialogs final : public HostDialogs {
 public:
  void notice(QWidget* parent, const QString& title, const QString& message) override;
  [[nodiscard]] std::optional<LoginData> correct_login(QWidget* parent, const LoginData& refused) override;
};

}  // namespace pw::ui
