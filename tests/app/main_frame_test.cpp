// The main window: check pacing, close refusal, scheduled shutdown, the
// notification area, status reports, command layout and routing.
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QProgressBar>
#include <QStandardPaths>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <filesystem>
#include <limits>

#include "app/frame_commands.h"
#include "app/system_tray.h"
#include "base/code_page.h"
#include "app/frame_fixture.h"
#include "res/string_ids.h"
#include "stores/system_settings.h"
#include "ui/frame/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/settings/address_book_dialog.h"
#include "ui/settings/feedback_dialog.h"
#include "ui/settings/settings_dialog.h"
#include "ui/host/status_bar_sink.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/ruler_list_view.h"
#include "ui/frame/user_tree_view.h"
#include "ui/view_icons.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

QString countdown_text(unsigned seconds) { return text(sid::kNextCheckIn) + QString::number(seconds) + text(sid::kSecondsUnit); }

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void oneMinuteCountsSixtyDownToOneThenChecks() {
    FrameStores s;
    s.settings.check_interval = 1;
    s.settings.interval_unit = SystemSettings::kMinutes;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    for (int left = 60; left >= 1; --left) {
      frame->tick_countdown();
      QCOMPARE(frame->pane_text(1), countdown_text(left));
      QVERIFY(s.checks.starts.empty());
    }
    frame->tick_countdown();
    QCOMPARE(s.checks.starts.size(), size_t{1});
    QVERIFY(s.checks.starts[0] == nullptr);

    // The countdown stands still while the run lasts and starts again after it.
    for (int i = 0; i < 5; ++i) frame->tick_countdown();
    QCOMPARE(frame->pane_text(1), countdown_text(1));
    QCOMPARE(frame->countdown(), 1u);
    s.checks.finish();
    frame->tick_countdown();
    QCOMPARE(s.checks.ended, 1);
    QCOMPARE(frame->pane_text(1), countdown_text(60));
    QCOMPARE(s.checks.starts.size(), size_t{1});
  }

  void intervalUnitsAndChangesTakeEffectAtOnce() {
    FrameStores s;
    s.settings.check_interval = 2;
    s.settings.interval_unit = SystemSettings::kHours;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    frame->tick_countdown();
    QCOMPARE(frame->pane_text(1), countdown_text(7200));
    s.settings.check_interval = 3;
    s.settings.interval_unit = SystemSettings::kSeconds;
    frame->tick_countdown();  // K = 2 of 3
    QCOMPARE(frame->pane_text(1), countdown_text(2));
    frame->tick_countdown();
    QCOMPARE(frame->pane_text(1), countdown_text(1));
    frame->tick_countdown();
    QCOMPARE(s.checks.starts.size(), size_t{1});
    // The largest stored interval in hours does not wrap round into a short one.
    s.checks.finish();
    s.settings.check_interval = std::numeric_limits<int32_t>::max();
    s.settings.interval_unit = SystemSettings::kHours;
    frame->tick_countdown();
    QCOMPARE(frame->pane_text(1), countdown_text(std::numeric_limits<unsigned>::max() - 1));
  }

  void checkAtStartBeginsOnTheFirstTick() {
    FrameStores s;
    s.settings.set_option(SystemSettings::kCheckAtStart, true);
    s.add_watched("a@example.com");
    auto frame = s.frame();
    frame->tick_countdown();
    QCOMPARE(s.checks.starts.size(), size_t{1});
  }

  void nothingToCheckKeepsThePaneEmpty_data() {
    QTest::addColumn<bool>("bind");
    QTest::addColumn<bool>("paused");
    QTest::newRow("no account watched") << true << true;
    QTest::newRow("watched but no rule bound") << false << false;
  }
  void nothingToCheckKeepsThePaneEmpty() {
    QFETCH(bool, bind);
    QFETCH(bool, paused);
    FrameStores s;
    s.settings.check_interval = 1;
    s.settings.interval_unit = SystemSettings::kSeconds;
    s.add_rule("rule");
    auto account = s.add_account("a@example.com", paused);
    if (bind) s.mailboxes.bind(*account, static_cast<uint32_t>(s.rules.at(0)->id));
    auto frame = s.frame();
    frame->run_command(cmd::kCheckAll);
    for (int i = 0; i < 5; ++i) frame->tick_countdown();
    QVERIFY(frame->pane_text(1).isEmpty());
    QVERIFY(s.checks.starts.empty());
  }

  void checkAllStartsOnTheNextTickAndIsOffDuringARun() {
    FrameStores s;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    frame->tick_countdown();
    QVERIFY(frame->command_enabled(cmd::kCheckAll));
    QVERIFY(frame->run_command(cmd::kCheckAll));
    frame->tick_countdown();
    QCOMPARE(s.checks.starts.size(), size_t{1});
    QVERIFY(!frame->command_enabled(cmd::kCheckAll));
    QVERIFY(!frame->action(cmd::kCheckAll)->isEnabled());
  }

  void singleAccountRunLeavesTheCountdown() {
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    auto frame = s.frame();
    for (int i = 0; i < 3; ++i) frame->tick_countdown();
    const unsigned k = frame->countdown();
    const QString shown = frame->pane_text(1);
    frame->set_active_view(frame->tree());
    frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    QVERIFY(frame->run_command(cmd::kCheckMailbox));
    QVERIFY(s.checks.starts.at(0) == account);
    for (int i = 0; i < 10; ++i) frame->tick_countdown();
    QCOMPARE(frame->countdown(), k);
    QCOMPARE(frame->pane_text(1), shown);
    s.checks.finish();
    frame->tick_countdown();
    QCOMPARE(frame->countdown(), k + 1);
  }

  void closeDuringACheckOffersToStopIt_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("shutdown");
    QTest::newRow("the user keeps the check") << false << false;
    QTest::newRow("the user stops it and leaves") << true << false;
    QTest::newRow("the scheduled shutdown waits for it") << true << true;
  }
  void closeDuringACheckOffersToStopIt() {
    QFETCH(bool, yes);
    QFETCH(bool, shutdown);
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    s.boxes.answer_yes = yes;
    s.shutdown_fired = shutdown;
    auto frame = s.frame();
    int closed = 0;
    connect(frame.get(), &app::CMainFrame::closed, [&] { ++closed; });
    frame->show();
    frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    QVERIFY(frame->run_command(cmd::kCheckMailbox));
    QVERIFY(!frame->close());
    QVERIFY(s.boxes.only(shutdown ? MessageKind::notice : MessageKind::question, shutdown ? sid::kNoQuitWhileChecking : sid::kAskStopAndExit));
    QCOMPARE(closed, 0);
    QVERIFY(frame->isVisible());
    const bool stops = yes && !shutdown;
    QCOMPARE(s.checks.stops, stops ? 1 : 0);
    s.checks.finish();
    if (stops) {
      QTRY_COMPARE(closed, 1);  // closes by itself once the run has ended
      return;
    }
    QCoreApplication::processEvents();
    QCOMPARE(closed, 0);
    QVERIFY(frame->close());
    QCOMPARE(closed, 1);
  }

  void stopCommandStopsTheRunningCheck() {
    FrameStores s;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    QVERIFY(!frame->command_enabled(cmd::kStopCheck));
    s.checks.running = true;
    QVERIFY(frame->run_command(cmd::kStopCheck));
    QCOMPARE(s.checks.stops, 1);
  }

  void disabledCheckCommandsSayWhy_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("state");  // 0 nothing watched, 1 running, 2 none selected, 3 paused selected
    QTest::addColumn<int>("reason");
    QTest::newRow("check all, nothing watched") << int(cmd::kCheckAll) << 0 << sid::kNoneWatched;
    QTest::newRow("check all during a check") << int(cmd::kCheckAll) << 1 << sid::kCheckGoingOn;
    QTest::newRow("check one, none selected") << int(cmd::kCheckMailbox) << 2 << sid::kNoMailboxSelected;
    QTest::newRow("check one, paused") << int(cmd::kCheckMailbox) << 3 << sid::kMailboxPaused;
    QTest::newRow("check one during a check") << int(cmd::kCheckMailbox) << 1 << sid::kCheckGoingOn;
    QTest::newRow("stop without a check") << int(cmd::kStopCheck) << 2 << sid::kNoCheckGoingOn;
  }
  void disabledCheckCommandsSayWhy() {
    QFETCH(int, command);
    QFETCH(int, state);
    QFETCH(int, reason);
    FrameStores s;
    auto account = state == 0 ? s.add_account("a@example.com") : s.add_watched("a@example.com");
    if (state == 3) s.mailboxes.pause(*account);
    s.checks.running = state == 1;
    auto frame = s.frame();
    if (state != 2) frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    frame->update_commands();
    QAction* a = frame->action(command);
    QVERIFY(!a->isEnabled());
    QCOMPARE(a->statusTip(), text(sid::kUnavailable) + text(reason));
    QVERIFY(a->toolTip().contains(text(reason)));
    // Once it can run, the plain prompt comes back.
    s.checks.running = state != 1 && command == cmd::kStopCheck;
    if (state == 0 || state == 3) s.mailboxes.resume(*account);
    if (state == 2) frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    frame->update_commands();
    QVERIFY(a->isEnabled());
    QCOMPARE(a->statusTip(), app::command_prompt(command));
  }

  void mailboxCommandsFollowTheTreeSelectionWhereverTheFocusIs() {
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    auto frame = s.frame();
    frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    frame->set_active_view(frame->info_view());
    for (int id : {cmd::kCheckMailbox, cmd::kPauseMailbox, cmd::kModifyMailbox, cmd::kDeleteMailbox})
      QVERIFY2(frame->command_enabled(id), qPrintable(QString::number(id)));
    QVERIFY(frame->run_command(cmd::kCheckMailbox));
    QVERIFY(s.checks.starts.at(0) == account);
  }

  void startingToWatchChecksAtOnce() {
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    s.mailboxes.pause(*account);
    auto frame = s.frame();
    frame->tree()->setCurrentItem(frame->tree()->item_of(*account));
    QVERIFY(frame->run_command(cmd::kResumeMailbox));
    QCOMPARE(s.checks.starts.size(), size_t{1});
    QVERIFY(s.checks.starts[0] == account);
    // "开启所有监管" checks them all at the next tick.
    s.checks.finish();
    frame->tick_countdown();
    QVERIFY(frame->run_command(cmd::kPauseAll));
    QVERIFY(frame->run_command(cmd::kResumeAll));
    frame->tick_countdown();
    QCOMPARE(s.checks.starts.size(), size_t{2});
    QVERIFY(s.checks.starts[1] == nullptr);
  }

  void aFailedCheckShowsOnItsMailbox() {
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    auto frame = s.frame();
    QTreeWidgetItem* item = frame->tree()->item_of(*account);
    QCOMPARE(item->data(0, kCheckMarkRole).toInt(), 0);
    QVERIFY(item->toolTip(0).contains(text(sid::kWatchedTip)));  // watched
    QVERIFY(item->toolTip(0).contains(text(sid::kNotCheckedTip)));  // not checked yet
    QVERIFY(frame->run_command(cmd::kCheckAll));
    frame->tick_countdown();
    s.checks.outcome.ran = true;
    s.checks.outcome.checks = {{"a@example.com", AccountCheck::Result::failed, utf8_to_gb("等待服务器回应超时"),
                                s.clock.now()}};
    s.checks.finish();
    frame->tick_countdown();
    QCOMPARE(item->data(0, kCheckMarkRole).toInt(), 2);
    const QString time = QDateTime::fromSecsSinceEpoch(s.clock.now()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY2(item->toolTip(0).contains(text(sid::kFailedTip).arg(time, text(sid::kTimedOut))), qPrintable(item->toolTip(0)));
  }

  // What a check learned about the accounts (here a server first seen over
  // TLS) reaches "Mailbox" when the check ends, not only at exit; a check
  // that learned nothing writes nothing.
  void whatTheCheckLearnedIsSavedWhenItEnds() {
    FrameStores s;
    auto account = s.add_watched("a@example.com");
    auto frame = s.frame();
    std::filesystem::remove(s.mailboxes.file());
    for (bool learned : {false, true}) {
      QVERIFY(frame->run_command(cmd::kCheckAll));
      frame->tick_countdown();
      if (learned) QVERIFY(account->mark_tls_seen(account->record().pop_server));
      s.checks.outcome.ran = true;
      s.checks.outcome.records_changed = learned;
      s.checks.finish();
      frame->tick_countdown();
      QCOMPARE(std::filesystem::exists(s.mailboxes.file()), learned);
    }
    MailboxList reread(s.mailboxes.program_dir());
    (void)reread.load(nullptr);
    QVERIFY(reread.at(0)->record().tls_seen);
  }

  void scheduledShutdownFiresAtItsMinute() {
    FrameStores s;
    const LocalTime now = to_local(s.clock.now());
    s.settings.shutdown_hour = now.hour;
    s.settings.shutdown_minute = (now.minute + 1) % 60;
    auto frame = s.frame();
    int closed = 0;
    connect(frame.get(), &app::CMainFrame::closed, [&] { ++closed; });
    frame->show();
    frame->tick_shutdown();
    QVERIFY(!s.shutdown_fired);  // option off
    s.settings.set_option(SystemSettings::kAutoShutdown, true);
    frame->tick_shutdown();
    QVERIFY(!s.shutdown_fired);  // not the minute yet
    s.settings.shutdown_minute = now.minute;
    // Reached during a check: the close is refused, the flag stays set.
    s.checks.running = true;
    frame->tick_shutdown();
    QVERIFY(s.shutdown_fired);
    QTRY_VERIFY(s.boxes.only(MessageKind::notice, sid::kNoQuitWhileChecking));
    QCOMPARE(closed, 0);
    s.checks.finish();
    frame->tick_shutdown();
    QTRY_COMPARE(closed, 1);
  }

  void withoutNotificationAreaMinimisingKeepsTheWindow() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    FrameStores s;
    auto frame = s.frame();
    QVERIFY(!frame->tray()->available());
    frame->show();
    frame->showMinimized();
    QTest::qWait(20);
    QVERIFY(frame->isVisible());
    frame->hide();
    frame->run_command(cmd::kShowMain);
    QVERIFY(frame->isVisible());
    QVERIFY(!frame->isMinimized());
  }

  // Kept in the configuration directory, never among the data files.
  void sizeSplittersAndHandSizedColumnsComeBack() {
    FrameStores s;
    QList<int> outer;
    {
      auto frame = s.frame();
      frame->show();
      frame->resize(900, 700);
      auto* split = frame->findChild<QSplitter*>("OuterSplitter");
      split->setSizes({300, 600});
      outer = split->sizes();
      frame->info_view()->log_list()->header()->resizeSection(1, 233);
      QVERIFY(frame->close());
    }
    QVERIFY(std::filesystem::exists(s.temp.path() / "config" / "window.conf"));
    QVERIFY(!std::filesystem::exists(s.dir.file("window.conf")));
    auto frame = s.frame();
    frame->show();
    QCOMPARE(frame->size(), QSize(900, 700));
    QCOMPARE(frame->findChild<QSplitter*>("OuterSplitter")->sizes(), outer);
    QCOMPARE(frame->info_view()->log_list()->columnWidth(1), 233);
  }

  // A panel that comes up after the program still gets the icon.
  void notificationAreaStartingLaterGetsTheIcon() {
    bool there = false;
    QAction show_main(QStringLiteral("显示主窗体"));
    app::CSystemTray tray(QIcon(), QStringLiteral("tip"), &show_main, {}, nullptr, [&] { return there; });
    QVERIFY(!tray.available());
    QVERIFY(!tray.look_for_tray());
    there = true;
    QVERIFY(tray.look_for_tray());
    QVERIFY(tray.available());
  }

  void trayMenuHoldsShowMainThenTheWatchCommands() {
    FrameStores s;
    auto frame = s.frame();
    QStringList ids;
    for (QAction* a : frame->tray()->menu()->actions())
      ids << (a->isSeparator() ? QStringLiteral("-") : QString::number(a->data().toInt()));
    QCOMPARE(ids, QStringList({"32791", "-", "32780", "32781", "-", "32790"}));
    QVERIFY(frame->tray()->menu()->defaultAction() == frame->action(cmd::kShowMain));
  }

  void statusReportsReachTheirPanes() {
    FrameStores s;
    auto frame = s.frame();
    frame->show();
    frame->apply_report(StatusReport::show_text(0, to_gb(QStringLiteral("正在检查邮箱a@example.com"))));
    QCOMPARE(frame->pane_text(0), QStringLiteral("正在检查邮箱a@example.com"));
    QVERIFY(!frame->progress_bar()->isVisible());
    frame->apply_report(StatusReport::progress_range(0, 26));
    frame->apply_report(StatusReport::progress_position(13));
    QVERIFY(frame->progress_bar()->isVisible());
    QCOMPARE(frame->progress_bar()->maximum(), 26);
    QCOMPARE(frame->progress_bar()->value(), 13);
    frame->apply_report(StatusReport::hide_progress());
    QVERIFY(!frame->progress_bar()->isVisible());
  }

  void menusAndToolbarInTheirOrder() {
    FrameStores s;
    auto frame = s.frame();
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, QStringList({"系统(&S)", "远程管理(&D)", "邮箱(&M)", "规则(&R)", "设置(&C)", "查看(&V)", "帮助(&H)"}));
    QStringList system = menu_texts(frame->menuBar()->actions()[0]->menu());
    QCOMPARE(system, QStringList({"开启所有监管(&R)", "关闭所有监管(&P)", "-", "开启当前邮箱(&E)", "关闭当前邮箱(&U)",
                                  "-", "检查所有邮箱(&A)", "检查当前邮箱(&C)", "停止检查(&T)", "-", "退出(&X)"}));
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("MainToolBar"));
    QStringList buttons;
    for (QAction* a : bar->actions()) buttons << (a->isSeparator() ? QStringLiteral("-") : QString::number(a->data().toInt()));
    QCOMPARE(buttons, QStringList({"32780", "32781", "32790", "-", "32772", "32777", "-", "32783", "32782", "-",
                                   "32794", "57670"}));
    QCOMPARE(frame->action(cmd::kAddMailbox)->statusTip(), QStringLiteral("添加一个被管理的邮箱"));
    QCOMPARE(frame->action(cmd::kAddMailbox)->toolTip(), QStringLiteral("添加邮箱"));
    QCOMPARE(frame->action(cmd::kCheckAll)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QCOMPARE(frame->action(cmd::kHelp)->shortcut(), QKeySequence(Qt::Key_F1));
  }

  void settingsAddressBookAndFeedbackOpenTheirDialogs() {
    FrameStores s;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    {
      OnModal<CSettingsDialog> settings([](CSettingsDialog* d) {
        d->findChild<QLineEdit*>("interval")->setText("7");
        d->accept();
      });
      QVERIFY(frame->run_command(cmd::kSettings));
      QCOMPARE(settings.seen(), 1);
    }
    // Changed at once, and on disk.
    QCOMPARE(s.settings.check_interval, 7);
    QCOMPARE(SystemSettings::load(s.dir).check_interval, 7);
    OnModal<CAddressBookDialog> book([](CAddressBookDialog* d) { d->accept(); });
    QVERIFY(frame->run_command(cmd::kAddressBook));
    QCOMPARE(book.seen(), 1);
    OnModal<CFeedbackDialog> feedback([](CFeedbackDialog* d) { d->reject(); });
    QVERIFY(frame->run_command(cmd::kFeedback));
    QCOMPARE(feedback.seen(), 1);
  }

  void viewCommandsRouteOnlyToTheActiveView() {
    FrameStores s;
    s.add_rule("rule");
    auto frame = s.frame();
    frame->rule_list()->setCurrentItem(frame->rule_list()->topLevelItem(0));
    frame->set_active_view(frame->tree());
    QVERIFY(!frame->command_enabled(cmd::kDeleteRule));
    frame->set_active_view(frame->rule_list());
    QVERIFY(frame->command_enabled(cmd::kDeleteRule));
    // Adding a mailbox and exporting rules work from any pane.
    QVERIFY(frame->command_enabled(cmd::kAddMailbox));
    QVERIFY(frame->command_enabled(cmd::kExportRules));
    // Settings, address book and feedback are offered from any pane.
    for (int id : {cmd::kSettings, cmd::kAddressBook, cmd::kFeedback})
      QVERIFY2(frame->command_enabled(id), qPrintable(QString::number(id)));
    // Dialogs not in the program yet are not offered.
    for (int id : {cmd::kRemoteAllMails})
      QVERIFY2(!frame->command_enabled(id), qPrintable(QString::number(id)));
  }

  void pauseAllReachesTheDisk() {
    FrameStores s;
    s.add_watched("a@example.com");
    auto frame = s.frame();
    QVERIFY(frame->run_command(cmd::kPauseAll));
    MailboxList reread(s.dir);
    reread.load([](uint32_t) { return true; });
    QCOMPARE(reread.count(), size_t{1});
    QVERIFY(reread.at(0)->paused());
    QVERIFY(!frame->command_enabled(cmd::kPauseAll));
    QVERIFY(frame->command_enabled(cmd::kResumeAll));
  }

  void leftColumnIsTwoHundredPixelsWide() {
    FrameStores s;
    auto frame = s.frame();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    auto* outer = frame->findChild<QSplitter*>(QStringLiteral("OuterSplitter"));
    QCOMPARE(outer->sizes().value(0), 200);
    auto* left = frame->findChild<QSplitter*>(QStringLiteral("LeftSplitter"));
    QCOMPARE(left->sizes().value(0), 250);
    // The status panes sit side by side inside the bar, the countdown whole.
    frame->tick_countdown();
    QApplication::processEvents();
    QWidget* panes[3] = {frame->status_sink().pane(0), frame->status_sink().pane(1), frame->status_sink().pane(2)};
    QVERIFY2(panes[0]->geometry().right() < panes[1]->x(), qPrintable(QString::number(panes[0]->width())));
    QVERIFY(panes[1]->geometry().right() < panes[2]->x());
    QVERIFY(panes[2]->geometry().right() <= frame->statusBar()->width());
  }

  void helpOpensTheShippedPages() {
    FrameStores s;
    auto frame = s.frame();
    QVERIFY(frame->run_command(cmd::kHelp));
    QCOMPARE(s.opened.size(), size_t{1});
    QVERIFY(s.opened[0].isLocalFile());
    QVERIFY(s.opened[0].toLocalFile().endsWith(QStringLiteral("/index.html")));
  }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
