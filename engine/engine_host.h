#pragma once
// What the check run needs from whoever shows it: the status bar (as
// StatusReport records), the notice box and the other boxes of the actions,
// the password correction, the confirmation window and bringing the window to
// the front. Every call comes from the check worker and returns only once the
// host has dealt with it, so the order of reports and dialogs is kept.
//
// Three kinds: the Qt host (hands each call to the UI thread and waits), the
// headless host of the command line (HeadlessHost) and scripted ones in tests.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/action_host.h"
#include "engine/status_report.h"
#include "net/login_prompt.h"

namespace pw {

class MailProcessor;

enum class LoginService { pop3, smtp };

class EngineHost : public ActionHost {
 public:
  // Applies one status report; returns once it is shown.
  virtual void report(const StatusReport& report) = 0;

  // The actions' status texts arrive as text reports.
  void status_text(int pane, std::string_view text) final { report(StatusReport::show_text(pane, text)); }

  // The server refused `refused` (its reply is `refusal`): the password
  // dialog. The corrected data, or nullopt when the user gives up.
  [[nodiscard]] virtual std::optional<LoginData> correct_login(LoginService service, const LoginData& refused,
                                                               std::string_view refusal) = 0;

  virtual void bring_to_front() = 0;

  // The confirmation window for the new mails of the account `address`,
  // counting down `countdown_seconds` (0: no countdown). It may clear action
  // bits and choose extra operations in the mails; it returns when it closed.
  // False when no window could be shown: nobody answered, and the run
  // decides what happens to the mails that ask first.
  [[nodiscard]] virtual bool confirm(std::string_view address, std::span<MailProcessor* const> mails,
                                     int countdown_seconds) = 0;

  // A failed dial, with its message ("自动拨号错误：" and the reason).
  virtual void dial_up_failed(std::string_view message) = 0;

  // An error of the run (a failed scan of `account`, already in the
  // operation log). The notice box by default.
  virtual void run_error(std::string_view account, std::string_view title, std::string_view message) {
    (void)account;
    notice(title, message);
  }
};

}  // namespace pw
