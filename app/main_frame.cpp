#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/about_dialog.h"
#include "app/big_tool_bar.h"
#include "app/check_control.h"
#include "app/frame_commands.h"
#include "app/frame_icons.h"
#include "app/help_pages.h"
#include "app/select_all_guard.h"
#include "app/sh_splitter.h"
#include "app/system_tray.h"
#include "base/local_time.h"
#include "rules/rule_store.h"
#include "stores/address_book.h"
#include "stores/mailbox_list.h"
#include "stores/system_settings.h"
#include "ui/frame/command_ids.h"
#include "ui/message_boxes.h"
#include "ui/frame/ruler_list_view.h"
#include "ui/rules/rule_editor_dialog.h"
#include "ui/host/status_bar_sink.h"
#include "ui/frame/store_saver.h"
#include "ui/ui_text.h"
#include "ui/frame/user_info_view.h"
#include "ui/settings/address_book_dialog.h"
#include "ui/settings/feedback_dialog.h"
#include "ui/settings/recipient_picker_dialog.h"
#include "ui/settings/settings_dialog.h"
#include "ui/frame/user_tree_view.h"
#include "ui/frame/view_wiring.h"
#include "stores/oauth_store.h"

namespace pw::app {
namespace {

namespace cmd = ui::cmd;

constexpr int kTreeRowHeight = 250;

// The makers' site opened by 32798.
constexpr char kMakersSite[] = "https://pelliwick.example/";

// Commands the tree handles while it is the active view.
bool tree_command(int id) {
  switch (id) {
    case cmd::kResumeMailbox:
    case cmd::kPauseMailbox:
    case cmd::kCheckMailbox:
    case cmd::kRemoteNewMails:
    case cmd::kRemoteAllMails:
    case cmd::kImportMailboxes:
    case cmd::kExportMailboxes:
    case cmd::kModifyMailbox:
    case cmd::kDeleteMailbox:
      return true;
    default:
      return false;
  }
}

bool rule_list_command(int id) { return id == cmd::kModifyRule || id == cmd::kDeleteRule; }

}  // namespace

CMainFrame::CMainFrame(FrameServices services, QWidget* parent) : QMainWindow(parent), s_(std::move(services)) {
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(ui::text(sid::kProgramTitle));
  setWindowIcon(program_icon());
  build_views();
  build_actions();
  build_menus();
  build_tool_bar();
  build_status_bar();

  tray_ = new CSystemTray(program_icon(), windowTitle(), action(cmd::kShowMain),
                          {action(cmd::kResumeAll), action(cmd::kPauseAll), nullptr, action(cmd::kCheckAll)}, this);
  connect(tray_, &CSystemTray::show_main_requested, this, &CMainFrame::show_main);
  connect(tray_->menu(), &QMenu::aboutToShow, this, &CMainFrame::update_commands);
  qApp->installEventFilter(new SelectAllGuard(this));

  // 800 x 600 centred on the available area, or the whole of a smaller one.
  const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600);
  const QSize size(std::min(800, area.width()), std::min(600, area.height()));
  resize(size);
  move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
  // Where the user left the window, its splitters and columns.
  const std::unique_ptr<QSettings> view_state = view_settings();
  (void)restoreGeometry(view_state->value(QStringLiteral("geometry")).toByteArray());
  outer_state_ = view_state->value(QStringLiteral("outerSplitter")).toByteArray();
  left_state_ = view_state->value(QStringLiteral("leftSplitter")).toByteArray();
  info_->restore_columns(*view_state);

  countdown_ = s_.settings.option(SystemSettings::kCheckAtStart) ? 0 : 1;
  countdown_timer_ = new QTimer(this);
  countdown_timer_->setInterval(kCountdownMs);
  connect(countdown_timer_, &QTimer::timeout, this, &CMainFrame::tick_countdown);
  countdown_timer_->start();
  shutdown_timer_ = new QTimer(this);
  shutdown_timer_->setInterval(kShutdownMs);
  connect(shutdown_timer_, &QTimer::timeout, this, &CMainFrame::tick_shutdown);
  shutdown_timer_->start();
  // After "stop and exit": the window closes as soon as the run has ended.
  stop_poll_ = new QTimer(this);
  stop_poll_->setInterval(100);
  connect(stop_poll_, &QTimer::timeout, this, [this] {
    if (s_.checks.check_running()) return;
    stop_poll_->stop();
    sync_run_state();
    if (close_after_run_) close();
  });
  update_commands();
  connect(tree_, &ui::CUserTreeView::watching_started, this, &CMainFrame::check_soon);
  connect(rule_list_, &ui::CRulerListView::watching_started, this, [this] { check_soon(nullptr); });
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::build_views() {
  outer_ = new CSHSplitter(true, 0, this);
  outer_->setObjectName(QStringLiteral("OuterSplitter"));
  left_ = new CSHSplitter(false, 1, outer_);
  left_->setObjectName(QStringLiteral("LeftSplitter"));
  tree_ = new ui::CUserTreeView(s_.mailboxes, s_.rules, s_.saver, s_.boxes, s_.files, left_);
  rule_list_ = new ui::CRulerListView(s_.rules, s_.mailboxes, s_.settings, s_.saver, s_.boxes, s_.files, left_);
  rule_list_->set_rule_editor([this](QWidget* parent, Rule& rule, bool is_new) {
    return ui::edit_rule(parent, rule, is_new, s_.rules, s_.boxes, s_.files, [this](QWidget* picker_parent) {
      return ui::pick_forward_recipients(picker_parent, s_.address_book);
    });
  });
  info_ = new ui::CUserInfoView(s_.log, s_.local_mail, outer_);
  left_->addWidget(tree_);
  left_->addWidget(rule_list_);
  outer_->addWidget(left_);
  outer_->addWidget(info_);
  outer_->setStretchFactor(1, 1);
  left_->setStretchFactor(1, 1);
  setCentralWidget(outer_);
  ui::connect_views(*tree_, *rule_list_, *info_);

  connect(tree_, &ui::CUserTreeView::check_account_requested, this,
          [this](std::shared_ptr<MailboxAccount> account) { start_check(std::move(account)); });
  connect(tree_, &ui::CUserTreeView::mailboxes_changed, this, &CMainFrame::update_commands);
  connect(rule_list_, &ui::CRulerListView::rules_changed, this, &CMainFrame::update_commands);
  connect(rule_list_, &ui::CRulerListView::watch_marks_changed, this, &CMainFrame::update_commands);

  // The active view is the pane that last had the focus; the tree at first.
  active_view_ = tree_;
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    for (QWidget* w = now; w; w = w->parentWidget()) {
      if (w == tree_ || w == rule_list_ || w == info_) {
        set_active_view(w);
        return;
      }
    }
  });
}

void CMainFrame::set_active_view(QWidget* view) {
  active_view_ = view;
  update_commands();
}

void CMainFrame::build_actions() {
  for (int id : {cmd::kResumeAll, cmd::kPauseAll, cmd::kResumeMailbox, cmd::kPauseMailbox, cmd::kCheckAll,
                 cmd::kCheckMailbox, cmd::kStopCheck, cmd::kExit, cmd::kRemoteNewMails, cmd::kRemoteAllMails,
                 cmd::kImportMailboxes, cmd::kExportMailboxes, cmd::kAddMailbox, cmd::kModifyMailbox,
                 cmd::kDeleteMailbox, cmd::kImportRules, cmd::kExportRules, cmd::kNewRule, cmd::kModifyRule, cmd::kDeleteRule,
                 cmd::kAddressBook, cmd::kConfigureRules, cmd::kSettings, cmd::kViewToolbar, cmd::kViewStatusBar,
                 cmd::kHelp, cmd::kFeedback, cmd::kWebSite, cmd::kAbout, cmd::kShowMain}) {
    const FrameCommand* c = frame_command(id);
    auto* a = new QAction(ui::text(c->menu_text), this);
    a->setData(id);
    a->setStatusTip(command_prompt(id));
    a->setToolTip(command_tool_tip(id));
    a->setIcon(toolbar_icon(id));
    a->setIconVisibleInMenu(false);
    if (!c->shortcut.isEmpty()) {
      a->setShortcut(c->shortcut);
      a->setShortcutContext(Qt::ApplicationShortcut);
    }
    connect(a, &QAction::triggered, this, [this, id] { run_command(id); });
    actions_[id] = a;
    addAction(a);  // accelerators work while the menus are closed
  }
  action(cmd::kViewToolbar)->setCheckable(true);
  action(cmd::kViewStatusBar)->setCheckable(true);
  QFont bold = action(cmd::kShowMain)->font();
  bold.setBold(true);
  action(cmd::kShowMain)->setFont(bold);
}

QAction* CMainFrame::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::build_menus() {
  auto add_menu = [this](const QString& title, std::initializer_list<int> ids) {
    QMenu* menu = menuBar()->addMenu(title);
    for (int id : ids) {
      if (id == 0)
        menu->addSeparator();
      else
        menu->addAction(action(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::update_commands);
  };
  add_menu(ui::text("系统(&S)"), {cmd::kResumeAll, cmd::kPauseAll, 0, cmd::kResumeMailbox, cmd::kPauseMailbox, 0,
                                cmd::kCheckAll, cmd::kCheckMailbox, cmd::kStopCheck, 0, cmd::kExit});
  add_menu(ui::text("远程管理(&D)"), {cmd::kRemoteNewMails, cmd::kRemoteAllMails});
  add_menu(ui::text("邮箱(&M)"), {cmd::kImportMailboxes, cmd::kExportMailboxes, 0, cmd::kAddMailbox,
                                cmd::kModifyMailbox, cmd::kDeleteMailbox});
  add_menu(ui::text("规则(&R)"),
           {cmd::kImportRules, cmd::kExportRules, 0, cmd::kNewRule, cmd::kModifyRule, cmd::kDeleteRule});
  add_menu(ui::text("设置(&C)"), {cmd::kAddressBook, cmd::kConfigureRules, 0, cmd::kSettings});
  add_menu(ui::text("查看(&V)"), {cmd::kViewToolbar, cmd::kViewStatusBar});
  add_menu(ui::text("帮助(&H)"), {cmd::kHelp, cmd::kFeedback, cmd::kWebSite, 0, cmd::kAbout});
}

void CMainFrame::build_tool_bar() {
  tool_bar_ = new CBigToolBar(ui::text("工具栏"), this);
  for (int id : {cmd::kResumeAll, cmd::kPauseAll, cmd::kCheckAll, 0, cmd::kAddMailbox, cmd::kNewRule, 0,
                 cmd::kConfigureRules, cmd::kSettings, 0, cmd::kFeedback, cmd::kHelp}) {
    if (id == 0)
      tool_bar_->addSeparator();
    else
      tool_bar_->add_button(action(id));
  }
  addToolBar(Qt::TopToolBarArea, tool_bar_);
}

void CMainFrame::build_status_bar() {
  statusBar()->setObjectName(QStringLiteral("MainStatusBar"));
  status_ = std::make_unique<ui::StatusBarSink>(statusBar());
  // The bar lays out its fixed-width panes only with a fixed size policy.
  for (int i = 1; i < ui::StatusBarSink::kPanes; ++i)
    status_->pane(i)->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QProgressBar* CMainFrame::progress_bar() const { return status_->progress_bar(); }

QString CMainFrame::pane_text(int index) const {
  return index >= 0 && index < ui::StatusBarSink::kPanes ? status_->pane(index)->text() : QString();
}

QWidget* CMainFrame::view_for(int id) const {
  if (id == cmd::kAddMailbox) return tree_;
  if (id == cmd::kNewRule || id == cmd::kImportRules || id == cmd::kExportRules || id == cmd::kConfigureRules)
    return rule_list_;
  // The mailbox commands act on the account selected in the tree, wherever
  // the focus is.
  if (tree_command(id)) return tree_;
  if (rule_list_command(id)) return active_view_ == rule_list_ ? rule_list_ : nullptr;
  return nullptr;
}

bool CMainFrame::command_enabled(int id) const {
  const bool running = s_.checks.check_running();
  switch (id) {
    case cmd::kResumeAll: return s_.mailboxes.watched_count() < s_.mailboxes.count();
    case cmd::kPauseAll: return s_.mailboxes.watched_count() > 0;
    case cmd::kCheckAll: return s_.mailboxes.watched_count() > 0 && !running;
    case cmd::kCheckMailbox: return !running && tree_->command_enabled(id);
    case cmd::kStopCheck: return running;
    case cmd::kExit:
    case cmd::kViewToolbar:
    case cmd::kViewStatusBar:
    case cmd::kHelp:
    case cmd::kWebSite:
    case cmd::kAbout:
    case cmd::kShowMain:
    case cmd::kAddressBook:
    case cmd::kSettings:
    case cmd::kFeedback:
      return true;
    default:
      break;
  }
  if (QWidget* view = view_for(id)) {
    if (view == tree_) return tree_->command_enabled(id);
    return rule_list_->command_enabled(id);
  }
  return false;
}

bool CMainFrame::run_command(int id) {
  if (!command_enabled(id)) return false;
  switch (id) {
    case cmd::kResumeAll:
      s_.mailboxes.resume_all();
      tree_->refresh_icons();
      s_.saver.save_mailboxes(this);
      check_soon(nullptr);
      break;
    case cmd::kPauseAll:
      s_.mailboxes.pause_all();
      tree_->refresh_icons();
      s_.saver.save_mailboxes(this);
      break;
    case cmd::kCheckAll: countdown_ = 0; break;
    case cmd::kStopCheck: s_.checks.stop(); break;
    case cmd::kExit: close(); break;
    case cmd::kViewToolbar: tool_bar_->setVisible(!tool_bar_->isVisible()); break;
    case cmd::kViewStatusBar: statusBar()->setVisible(!statusBar()->isVisible()); break;
    case cmd::kHelp: open_help(s_.open_url, s_.boxes, this); break;
    case cmd::kWebSite: (void)s_.open_url(QUrl(QString::fromLatin1(kMakersSite))); break;
    case cmd::kAbout: {
      CAboutDialog about(s_.data_dir, this);
      about.exec();
      break;
    }
    case cmd::kShowMain: show_main(); break;
    case cmd::kSettings: {
      ui::CSettingsDialog settings(s_.settings, s_.dial_up, s_.autostart, s_.boxes, this);
      const OAuthStore tokens{ProgramDir(s_.data_dir)};
      if (!s_.data_dir.empty()) settings.set_oauth_store(&tokens);
      // The countdown reads the new interval at its next tick.
      if (settings.exec() == QDialog::Accepted) s_.saver.save_settings(this);
      break;
    }
    case cmd::kAddressBook: {
      ui::CAddressBookDialog book(s_.address_book, s_.boxes, this);
      book.exec();
      // Written now as the other stores are after an edit; failures are silent.
      (void)s_.address_book.save();
      break;
    }
    case cmd::kFeedback: {
      ui::CFeedbackDialog feedback(s_.mailboxes, s_.clock, s_.boxes, s_.feedback, this);
      feedback.exec();
      break;
    }
    default:
      if (view_for(id) == tree_)
        tree_->run_command(id);
      else
        rule_list_->run_command(id);
      break;
  }
  update_commands();
  return true;
}

QString CMainFrame::unavailable_reason(int id) const {
  const bool running = s_.checks.check_running();
  int reason = 0;
  switch (id) {
    case cmd::kCheckAll: reason = running ? sid::kCheckGoingOn : sid::kNoneWatched; break;
    case cmd::kCheckMailbox: {
      const std::shared_ptr<MailboxAccount> account = tree_->selected_account();
      reason = running             ? sid::kCheckGoingOn
               : !account          ? sid::kNoMailboxSelected
               : account->paused() ? sid::kMailboxPaused
                                   : sid::kMailboxWithoutRules;
      break;
    }
    case cmd::kStopCheck: reason = sid::kNoCheckGoingOn; break;
    default: return {};
  }
  return ui::text(sid::kUnavailable) + ui::text(reason);
}

void CMainFrame::update_commands() {
  for (auto& [id, a] : actions_) {
    const bool enabled = command_enabled(id);
    a->setEnabled(enabled);
    // A disabled check command says why.
    const QString why = enabled ? QString() : unavailable_reason(id);
    if (id == cmd::kCheckAll || id == cmd::kCheckMailbox || id == cmd::kStopCheck) {
      a->setStatusTip(why.isEmpty() ? command_prompt(id) : why);
      a->setToolTip(why.isEmpty() ? command_tool_tip(id) : command_tool_tip(id) + ui::text("（") + why +
                                                              ui::text("）"));
    }
  }
  action(cmd::kViewToolbar)->setChecked(tool_bar_ && !tool_bar_->isHidden());
  action(cmd::kViewStatusBar)->setChecked(!statusBar()->isHidden());
}

unsigned CMainFrame::interval_seconds() const {
  const auto interval = static_cast<uint64_t>(std::max(0, s_.settings.check_interval));
  uint64_t seconds = interval * 60;
  switch (s_.settings.interval_unit) {
    case SystemSettings::kSeconds: seconds = interval; break;
    case SystemSettings::kHours: seconds = interval * 3600; break;
    default: break;
  }
  // A huge stored interval counts down from the largest the counter holds
  // instead of wrapping round into a short one.
  return static_cast<unsigned>(std::min<uint64_t>(seconds, std::numeric_limits<unsigned>::max() - 1));
}

void CMainFrame::check_soon(std::shared_ptr<MailboxAccount> account) {
  if (s_.checks.check_running()) {
    check_after_run_ = true;  // all watched accounts, once this run has ended
  } else if (account) {
    start_check(std::move(account));
  } else {
    countdown_ = 0;
  }
}

void CMainFrame::start_check(std::shared_ptr<MailboxAccount> account) {
  if (s_.checks.start(std::move(account))) check_started();
}

void CMainFrame::check_started() {
  run_seen_ = true;
  s_.saver.set_check_running(true);
  tree_->set_check_running(true);
  update_commands();
}

void CMainFrame::sync_run_state() {
  if (!run_seen_ || s_.checks.check_running()) return;
  run_seen_ = false;
  s_.checks.run_ended();
  tree_->set_check_running(false);
  const RunOutcome outcome = s_.checks.last_outcome();
  // What the check learned about the accounts is kept at once, not only at
  // exit: a server seen over TLS must stay refused without it after a crash.
  if (outcome.records_changed) s_.saver.save_mailboxes(this);
  s_.saver.set_check_running(false);  // makes the account save that waited
  const LocalTime now = to_local(s_.clock.now());
  tray_state_.checked = true;
  tray_state_.last_time = QString::asprintf("%02d:%02d", now.hour, now.minute);
  tray_state_.last_ok = outcome.ok();
  tree_->show_checks(outcome.checks);
  tray_state_.last_acted = 0;
  for (const auto& [address, mails] : outcome.acted) tray_state_.last_acted += mails;
  emit check_finished(outcome);
}

void CMainFrame::update_tray_tip(unsigned seconds_left) {
  tray_state_.running = s_.checks.check_running();
  // How many mailboxes are being checked, or which one is asking.
  tray_state_.activity = tray_state_.running ? status_->pane(StatusReport::kMessagePane)->text() : QString();
  tray_state_.seconds_left = seconds_left;
  tray_->set_tool_tip(tray_tool_tip(windowTitle(), tray_state_));
}

void CMainFrame::tick_countdown() {
  sync_run_state();
  update_commands();
  const unsigned left = pace_checks();
  update_tray_tip(left);
}

unsigned CMainFrame::pace_checks() {
  if (s_.checks.single_check()) return 0;
  if (s_.mailboxes.watched_count() == 0 || s_.mailboxes.binding_count() == 0) {
    countdown_ = 1;
    status_->pane(StatusReport::kStepPane)->clear();
    return 0;
  }
  if (countdown_ == 0) {
    start_check(nullptr);
    countdown_ = 1;
    return 0;
  }
  if (s_.checks.check_running()) return 0;
  if (check_after_run_) {
    check_after_run_ = false;
    start_check(nullptr);
    return 0;
  }
  const unsigned d = interval_seconds();
  const unsigned left = d >= countdown_ ? d - countdown_ + 1 : 0;
  status_->pane(StatusReport::kStepPane)->setText(ui::text(sid::kNextCheckCountdown).arg(left));
  ++countdown_;
  if (countdown_ > d) countdown_ = 0;
  return left;
}

void CMainFrame::tick_shutdown() {
  if (!s_.settings.option(SystemSettings::kAutoShutdown)) return;
  const LocalTime now = to_local(s_.clock.now());
  if (now.hour != s_.settings.shutdown_hour || now.minute != s_.settings.shutdown_minute) return;
  s_.shutdown_fired = true;
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainFrame::apply_report(const StatusReport& report) { status_->apply(report); }

void CMainFrame::show_main() {
  if (isHidden() || isMinimized()) showNormal();
  raise();
  activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (s_.checks.check_running()) {
    event->ignore();
    if (refusing_close_ || close_after_run_) return;  // one box at a time
    refusing_close_ = true;
    // The user may stop the check and leave; the scheduled shutdown, with
    // nobody to answer, waits for the check to end.
    if (s_.shutdown_fired) {
      s_.boxes.show(this, ui::MessageKind::notice, sid::kNoQuitWhileChecking);
    } else if (s_.boxes.show(this, ui::MessageKind::question, sid::kAskStopAndExit)) {
      close_after_run_ = true;
      s_.checks.stop();
      stop_poll_->start();
    }
    refusing_close_ = false;
    return;
  }
  event->accept();
  save_view_state();
  emit closed();
}

std::unique_ptr<QSettings> CMainFrame::view_settings() const {
  if (!s_.view_state_file.isEmpty()) return std::make_unique<QSettings>(s_.view_state_file, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("pelliwick"),
                                     QStringLiteral("window"));
}

void CMainFrame::save_view_state() {
  const std::unique_ptr<QSettings> view_state = view_settings();
  view_state->setValue(QStringLiteral("geometry"), saveGeometry());
  if (splitters_sized_) {
    view_state->setValue(QStringLiteral("outerSplitter"), outer_->saveState());
    view_state->setValue(QStringLiteral("leftSplitter"), left_->saveState());
  }
  info_->save_columns(*view_state);
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimised, the window lives on in the notification area; a desktop
  // without one keeps it in the task bar.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_->available())
    QTimer::singleShot(0, this, &QWidget::hide);
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (splitters_sized_) return;
  splitters_sized_ = true;
  if (!outer_state_.isEmpty() && !left_state_.isEmpty() && outer_->restoreState(outer_state_) &&
      left_->restoreState(left_state_))
    return;
  outer_->size_first_pane();
  const int rest = std::max(0, left_->height() - kTreeRowHeight - left_->handleWidth());
  left_->setSizes({kTreeRowHeight, rest});
}

}  // namespace pw::app
