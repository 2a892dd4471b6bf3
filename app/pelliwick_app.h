#pragma once
// The application: brings the program up in a fixed order (single instance,
// data directories, settings, first-run question, login, rules and accounts,
// this month's log with the optional purge, this month's local-mail index,
// address book, main window) and takes it down again (every store saved,
// "MailTemp" emptied, the computer powered off after a scheduled shutdown).
#include <QObject>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/check_control.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "net/protocol_trace.h"
#include "net/smtp_delivery.h"
#include "rules/rule_store.h"
#include "rules/rule_store_use_counter.h"
#include "stores/address_book.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"

namespace pw {
class OAuthAccess;
class DialUp;
class RunAtStartup;
class SenderVerifier;
}  // namespace pw

namespace pw::ui {
class FileDialogs;
class HostDialogs;
struct MailDesk;
class SavedMailCommands;
class MessageBoxes;
class QtEngineHost;
class StoreSaver;
}  // namespace pw::ui

namespace pw::app {

class CMainFrame;
class DesktopNotifier;
class GuiCheckControl;
class PowerOff;
class SingleInstance;

struct AppOptions {
  ProgramDir dir{ProgramDir::executable_dir()};
  bool hide = false;  // started with -hide
  // Empty: named after the title and the user.
  QString instance_name;
  // Empty: "first-run-done" in the user's configuration directory.
  std::filesystem::path first_run_marker;
  // Each null: the real one. Tests give their own.
  ui::MessageBoxes* boxes = nullptr;
  ui::FileDialogs* files = nullptr;
  PowerOff* power_off = nullptr;
  const Clock* clock = nullptr;
  CheckControl* checks = nullptr;
  // Asks the login password; true once it was given. Null: the login dialog.
  std::function<bool(const std::string& password)> login;
  // Opens a URL with the desktop; false when nothing could. Null: QDesktopServices.
  std::function<bool(const QUrl&)> open_url;
  ui::HostDialogs* dialogs = nullptr;
  // Null: NetworkManager on the system bus.
  DialUp* dial_up = nullptr;
  // Where the autostart entry goes; empty: the user's configuration directory.
  std::filesystem::path autostart_config_dir;
  // Where the window keeps its size, splitters and columns; empty: the
  // user's configuration directory.
  QString view_state_file;
  // Where check notifications go; null: the session bus.
  DesktopNotifier* notifier = nullptr;
  // The protocol logs of every session (checks, remote management,
  // downloads, sending); empty: none.
  ProtocolTrace pop3_trace;
  ProtocolTrace smtp_trace;
};

class CPelliwickApp : public QObject, private CheckControl {
  Q_OBJECT

 public:
  explicit CPelliwickApp(AppOptions options);
  ~CPelliwickApp() override;

  // True when the program is to run; false to end at once.
  [[nodiscard]] bool start();
  // Saves and cleans up; only after a start that returned true does it
  // touch anything.
  void exit();

  [[nodiscard]] bool started() const { return started_; }
  [[nodiscard]] CMainFrame* frame() const { return frame_.get(); }
  [[nodiscard]] bool& shutdown_fired() { return shutdown_fired_; }

  // The stores, process-wide from start to exit.
  MailboxList& mailboxes() { return mailboxes_; }
  RuleStore& rules() { return rules_; }
  SystemSettings& settings() { return settings_; }
  OperationLog& log() { return log_; }
  LocalMailIndex& local_mail() { return local_mail_; }
  AddressBook& address_book() { return address_book_; }

 signals:
  // The main window closed: the event loop may end.
  void finished();

 private:
  bool start(std::shared_ptr<MailboxAccount> account) override;
  [[nodiscard]] bool check_running() const override;
  [[nodiscard]] bool single_check() const override;
  void stop() override;
  void run_ended() override;
  [[nodiscard]] RunOutcome last_outcome() const override;

  void ask_first_run();
  [[nodiscard]] bool ask_login();
  void empty_mail_temp() const;
  // Remote management and the saved-mail commands, on the host and the check's seen-list lock.
  void wire_mail_screens(const SmtpDeliveryOptions& smtp);

  AppOptions options_;
  SystemClock system_clock_;
  const Clock& clock_;
  RuleStore rules_;
  RuleStoreUseCounter counter_{rules_};
  MailboxList mailboxes_;
  SystemSettings settings_;
  OperationLog log_;
  LocalMailIndex local_mail_;
  AddressBook address_book_;

  std::unique_ptr<ui::MessageBoxes> own_boxes_;
  std::unique_ptr<ui::FileDialogs> own_files_;
  std::unique_ptr<PowerOff> own_power_off_;
  ui::MessageBoxes& boxes_;
  ui::FileDialogs& files_;
  PowerOff& power_off_;
  std::unique_ptr<ui::StoreSaver> saver_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<SenderVerifier> verifier_;
  std::unique_ptr<DialUp> own_dial_up_;
  DialUp* dial_up_ = nullptr;
  std::unique_ptr<RunAtStartup> autostart_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<ui::HostDialogs> own_dialogs_;
  std::unique_ptr<ui::QtEngineHost> host_;
  // The tokens of mailboxes signed in with OAuth 2.0, for every POP3 and
  // SMTP session.
  std::shared_ptr<const OAuthAccess> oauth_;
  std::unique_ptr<GuiCheckControl> checks_;
  std::unique_ptr<DesktopNotifier> own_notifier_;
  std::unique_ptr<ui::MailDesk> desk_;
  std::unique_ptr<ui::SavedMailCommands> saved_mail_;

  bool started_ = false;
  bool shutdown_fired_ = false;
};

// Ends the event loop when `app` has finished: every loop, also that of a
// dialog busy with a worker (remote management, feedback) that refuses to
// close. A plain quit would ask that dialog to close first, and after a
// scheduled shutdown the program would neither end nor power off.
void end_event_loop_when_finished(CPelliwickApp& app);

}  // namespace pw::app
