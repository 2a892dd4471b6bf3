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

#include <functional>
#include <map>
#include <memory>

#include "engine/status_report.h"

class QProgressBar;
class QTimer;

namespace pw {
class AddressBook;
class Clock;
class LocalMailIndex;
class MailboxAccount;
class MailboxList;
class OperationLog;
class RuleStore;
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
  // Opens a URL (help pages, the makers' site); tests record it.
  std::function<void(const QUrl&)> open_url;
  // Where the forward dialog picks recipients; none offers an empty book.
  const AddressBook* address_book = nullptr;
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
  [[nodiscard]] QWidget* active_view() const { return active_view_; }
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
  void check_started();
  void sync_run_state();
  [[nodiscard]] unsigned interval_seconds() const;
  // The view that handles `id`, when the command is one of a view's.
  [[nodiscard]] QWidget* view_for(int id) const;

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

  // Seconds elapsed in the current interval; 0: the next tick starts a check.
  unsigned countdown_ = 1;
  bool run_seen_ = false;      // the frame knows a run is going on
  bool refusing_close_ = false;  // the close refusal is up
  bool splitters_sized_ = false;
};

}  // namespace pw::app
