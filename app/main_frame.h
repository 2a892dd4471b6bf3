#pragma once
// The main window: the mailbox tree over the rule list on the left, the
// information view on the right; menus, toolbar and accelerators; the status
// bar with its three panes and the progress bar; the notification-area icon;
// and the two timers that drive the program: the one-second check pacing and
// the 55-second scheduled-shutdown test.
//
// The timers' steps are public (tick_countdown, tick_shutdown) so that tests
// drive them without waiting.
#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "engine/feedback_sender.h"
#include "app/system_tray.h"
#include "engine/status_report.h"

namespace pw {
struct RunOutcome;
}

class QProgressBar;
class QSettings;
class QTimer;

namespace pw {
class AddressBook;
class Clock;
class DialUp;
class LocalMailIndex;
class MailboxAccount;
class MailboxList;
class OperationLog;
class RuleStore;
class RunAtStartup;
struct SystemSettings;
}  // namespace pw

namespace pw::ui {
class CRulerListView;
class CUserInfoView;
class CUserTreeView;
class FileDialogs;
class MessageBoxes;
class StatusBarSink;
class StoreSaver;
}  // namespace pw::ui

namespace pw::app {

class CBigToolBar;
class CheckControl;
class CSHSplitter;
class CSystemTray;

struct FrameServices {
  MailboxList& mailboxes;
  RuleStore& rules;
  SystemSettings& settings;
  OperationLog& log;
  LocalMailIndex& local_mail;
  ui::StoreSaver& saver;
  ui::MessageBoxes& boxes;
  ui::FileDialogs& files;
  CheckControl& checks;
  const Clock& clock;
  // Set by the shutdown timer; the exit powers the computer off when set.
  bool& shutdown_fired;
  // Opens a URL (help pages, the makers' site), false when nothing could;
  // tests record it.
  std::function<bool(const QUrl&)> open_url;
  // What the settings, address book and feedback dialogs work on.
  AddressBook& address_book;
  DialUp& dial_up;
  const RunAtStartup& autostart;
  FeedbackAddresses feedback = FeedbackAddresses::configured();
  // The data directory in use, named in the about box.
  std::filesystem::path data_dir = {};
  // Where the window's size and place, the splitters and the column widths
  // the user set are kept; empty: "window.conf" in the user's configuration
  // directory, never beside the data.
  QString view_state_file = {};
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kCountdownMs = 1000;
  static constexpr int kShutdownMs = 55000;

  explicit CMainFrame(FrameServices services, QWidget* parent = nullptr);
  ~CMainFrame() override;

  [[nodiscard]] ui::CUserTreeView* tree() const { return tree_; }
  [[nodiscard]] ui::CRulerListView* rule_list() const { return rule_list_; }
  [[nodiscard]] ui::CUserInfoView* info_view() const { return info_; }
  [[nodiscard]] CSystemTray* tray() const { return tray_; }
  [[nodiscard]] QAction* action(int id) const;
  [[nodiscard]] QString pane_text(int pane) const;
  [[nodiscard]] QProgressBar* progress_bar() const;
  // Where the check worker's status reports go.
  [[nodiscard]] ui::StatusBarSink& status_sink() const { return *status_; }
  [[nodiscard]] unsigned countdown() const { return countdown_; }

  // The pane that commands of the tree and the rule list route to.
  void set_active_view(QWidget* view);

  // Whether command `id` is enabled now; runs it when it is.
  [[nodiscard]] bool command_enabled(int id) const;
  bool run_command(int id);
  // Enables and disables every action from the current state.
  void update_commands();

 public slots:
  // One step of the check pacing (timer 1).
  void tick_countdown();
  // One test of the scheduled shutdown (timer 2).
  void tick_shutdown();
  // Applies a status report of the check worker.
  void apply_report(const pw::StatusReport& report);
  // "显示主窗体" and a second instance's request: show, restore, raise.
  void show_main();

 signals:
  // The window accepted a close: the program ends.
  void closed();
  // A check run ended (seen by the pacing timer).
  void check_finished(const pw::RunOutcome& outcome);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void build_views();
  void build_actions();
  void build_menus();
  void build_tool_bar();
  void build_status_bar();
  void start_check(std::shared_ptr<MailboxAccount> account);
  // A mailbox began to be watched (null: several): checks it now, or all
  // watched ones once the running check has ended.
  void check_soon(std::shared_ptr<MailboxAccount> account);
  void check_started();
  void sync_run_state();
  // The countdown step of tick_countdown; the seconds left to the next
  // check, 0 when none is counted down.
  unsigned pace_checks();
  void update_tray_tip(unsigned seconds_left);
  [[nodiscard]] unsigned interval_seconds() const;
  // The view that handles `id`, when the command is one of a view's.
  [[nodiscard]] QWidget* view_for(int id) const;
  [[nodiscard]] std::unique_ptr<QSettings> view_settings() const;
  void save_view_state();
  // Why command `id` is disabled, for its status tip; empty when no reason is told.
  [[nodiscard]] QString unavailable_reason(int id) const;

  FrameServices s_;
  std::map<int, QAction*> actions_;
  CSHSplitter* outer_ = nullptr;
  CSHSplitter* left_ = nullptr;
  ui::CUserTreeView* tree_ = nullptr;
  ui::CRulerListView* rule_list_ = nullptr;
  ui::CUserInfoView* info_ = nullptr;
  QWidget* active_view_ = nullptr;
  CBigToolBar* tool_bar_ = nullptr;
  std::unique_ptr<ui::StatusBarSink> status_;
  CSystemTray* tray_ = nullptr;
  QTimer* countdown_timer_ = nullptr;
  QTimer* shutdown_timer_ = nullptr;
  QTimer* stop_poll_ = nullptr;

  // Seconds elapsed in the current interval; 0: the next tick starts a check.
  unsigned countdown_ = 1;
  bool run_seen_ = false;      // the frame knows a run is going on
  bool refusing_close_ = false;  // the close refusal is up
  bool close_after_run_ = false;  // the user chose to stop the check and exit
  bool check_after_run_ = false;  // a mailbox began to be watched during a run
  bool splitters_sized_ = false;
  QByteArray outer_state_;  // the splitters as the user left them, until shown
  QByteArray left_state_;
  TrayState tray_state_;
};

}  // namespace pw::app
