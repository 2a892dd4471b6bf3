// The program on a Linux desktop: its command line and exit codes, the
// tray icon's activation and tool tip, notifications after a check (through
// a notification service on a private bus), Qt's Chinese texts, and Ctrl+A
// in lists.
#include <QDBusConnection>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include "app/command_line.h"
#include "app/desktop_notifier.h"
#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "app/power_off.h"
#include "app/qt_translations.h"
#include "app/system_tray.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "res/string_ids.h"
#include "ui/frame/command_ids.h"
#include "app/frame_fixture.h"
#include "ui/gb_qstring.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/user_tree_view.h"

using namespace pw;
using namespace pw::app;
using namespace pw::ui::testing;

namespace {

CommandLine parse(QStringList args) {
  args.prepend(QStringLiteral("pelliwick"));
  std::vector<std::string> bytes;
  for (const QString& a : args) bytes.push_back(a.toStdString());
  std::vector<char*> argv;
  for (std::string& b : bytes) argv.push_back(b.data());
  return CommandLine::parse(static_cast<int>(argv.size()), argv.data());
}

struct ProgramResult {
  int code = -1;
  QString out;
  QString err;
};

// The program under a Chinese locale, as the texts compared with are Chinese.
ProgramResult run_program(const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(PW_PELLIWICK), args);
  p.waitForFinished(20000);
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

RunOutcome outcome(std::vector<std::pair<std::string, size_t>> acted, size_t failed = 0) {
  RunOutcome o;
  o.ran = true;
  o.acted = std::move(acted);
  o.scans_failed = failed;
  return o;
}

}  // namespace

// A notification service on a private session bus: the test starts its own
// dbus-daemon, registers org.freedesktop.Notifications on one connection and
// hands the other to the code under test. Every Notify call is recorded.
namespace {

struct Notification {
  QString app;
  QString icon;
  QString summary;
  QString body;
};

class FakeNotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QList<Notification> received;

 public slots:
  uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    received.append({app, icon, summary, body});
    return static_cast<uint>(received.size());
  }
};

class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    auto service = QDBusConnection::connectToBus(address_, QStringLiteral("fake-notifications"));
    if (!service.registerService(QStringLiteral("org.freedesktop.Notifications")) ||
        !service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service_,
                                QDBusConnection::ExportAllSlots))
      address_.clear();
  }
  ~PrivateSessionBus() {
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }
  [[nodiscard]] bool up() const { return !address_.isEmpty(); }
  // The connection the code under test sends on.
  [[nodiscard]] QDBusConnection client() const { return QDBusConnection::connectToBus(address_, QStringLiteral("client")); }
  [[nodiscard]] const QList<Notification>& received() const { return service_.received; }

 private:
  QProcess daemon_;
  QString address_;
  FakeNotificationService service_;
};

}  // namespace

Q_DECLARE_METATYPE(CommandLine::Mode)

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void commandLineParsing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<CommandLine::Mode>("mode");
    QTest::addColumn<QString>("data_dir");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<bool>("hide");
    using M = CommandLine::Mode;
    QTest::newRow("nothing") << QStringList{} << M::window << "" << "" << false;
    QTest::newRow("hide") << QStringList{"-hide"} << M::window << "" << "" << true;
    QTest::newRow("data dir, two words") << QStringList{"--data-dir", "/d"} << M::window << "/d" << "" << false;
    QTest::newRow("data dir with =") << QStringList{"--data-dir=/d", "-hide"} << M::window << "/d" << "" << true;
    QTest::newRow("check once with trace")
        << QStringList{"--check-once", "--trace", "/t"} << M::check_once << "" << "/t" << false;
    QTest::newRow("help wins") << QStringList{"--check-once", "--help"} << M::help << "" << "" << false;
    QTest::newRow("version") << QStringList{"--version"} << M::version << "" << "" << false;
    QTest::newRow("Qt's options pass") << QStringList{"-platform", "offscreen", "--style=Fusion", "-reverse"}
                                       << M::window << "" << "" << false;
    QTest::newRow("unknown long") << QStringList{"--bogus"} << M::error << "" << "" << false;
    QTest::newRow("unknown short") << QStringList{"-x"} << M::error << "" << "" << false;
    QTest::newRow("stray word") << QStringList{"mail"} << M::error << "" << "" << false;
    QTest::newRow("data dir missing") << QStringList{"--data-dir"} << M::error << "" << "" << false;
    QTest::newRow("empty trace") << QStringList{"--trace="} << M::error << "" << "" << false;
    QTest::newRow("flag with value") << QStringList{"--check-once=yes"} << M::error << "" << "" << false;
    QTest::newRow("GNU needs two dashes") << QStringList{"-help"} << M::error << "" << "" << false;
  }
  void commandLineParsing() {
    QFETCH(QStringList, args);
    const CommandLine line = parse(args);
    QTEST(line.mode, "mode");
    QTEST(QString::fromStdString(line.data_dir.string()), "data_dir");
    QTEST(QString::fromStdString(line.trace.string()), "trace");
    QTEST(line.hide, "hide");
    QCOMPARE(line.error.empty(), line.mode != CommandLine::Mode::error);
  }

  void programAnswersAndExitsLikeAGnuTool() {
    ProgramResult version = run_program({"--version"});
    QCOMPARE(version.code, 0);
    QVERIFY(version.out.startsWith("pelliwick " PW_VERSION "\n"));

    ProgramResult help = run_program({"--help", "--data-dir", "/srv/pw"});
    QCOMPARE(help.code, 0);
    QVERIFY(help.out.contains("--check-once"));
    QVERIFY(help.out.contains(ui::text(sid::kDataDirLine).arg("/srv/pw")));

    ProgramResult unknown = run_program({"--nonsense"});
    QCOMPARE(unknown.code, 2);
    QVERIFY(unknown.out.isEmpty());
    QVERIFY(unknown.err.contains(ui::text(sid::kUnknownOption).arg("--nonsense")));
    QVERIFY(unknown.err.contains("--help"));

    QCOMPARE(run_program({"--data-dir"}).code, 2);
    pw::test::TempDir dir;
    ProgramResult trace = run_program({"--check-once", "--data-dir", QString::fromStdString(dir.path().string()),
                                       "--trace", QString::fromStdString((dir / "no" / "such" / "t").string())});
    QCOMPARE(trace.code, 1);
    QVERIFY(trace.err.contains(ui::text(sid::kTraceFailed).arg(QString::fromStdString((dir / "no/such/t").string()))));
    // A link planted in the trace's place is refused by name, its target untouched.
    dir.write("target", "keep");
    std::filesystem::create_symlink(dir / "target", dir / "planted");
    const QString planted = QString::fromStdString((dir / "planted").string());
    ProgramResult link = run_program({"--check-once", "--data-dir", QString::fromStdString(dir.path().string()),
                                      "--trace", planted});
    QCOMPARE(link.code, 1);
    QVERIFY(link.err.contains(ui::text(sid::kTraceNotPlainFile).arg(planted)));
    QCOMPARE(pw::read_file(dir / "target").value_or(""), std::string("keep"));
  }

  void trayActivationReasons_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
    QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
  }
  void trayActivationReasons() {
    QFETCH(int, reason);
    QFETCH(bool, shows);
    CSystemTray tray(QIcon(), "t", new QAction(this), {});
    QSignalSpy spy(&tray, &CSystemTray::show_main_requested);
    tray.activate(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    QCOMPARE(spy.count(), shows ? 1 : 0);
  }

  void trayToolTipSaysTheNextCheckAndTheLastOutcome_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("left");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("tip");
    QTest::newRow("nothing to check") << false << 0 << false << true << "" << "T";
    QTest::newRow("countdown") << false << 299 << false << true << "" << "T\n距离下次邮箱检查还剩 4:59";
    QTest::newRow("hours") << false << 3601 << true << true << ""
                           << "T\n距离下次邮箱检查还剩 1:00:01\n上次检查（09:05）：处理了 3 封邮件";
    QTest::newRow("running after a failure") << true << 0 << true << false << ""
                                             << "T\n正在检查邮箱...\n上次检查（09:05）：出错";
    QTest::newRow("four at once") << true << 0 << false << true << "正在同时检查4个邮箱" << "T\n正在同时检查4个邮箱";
    QTest::newRow("one asking") << true << 0 << false << true << "等待确认的邮箱：a@b.test"
                                << "T\n等待确认的邮箱：a@b.test";
  }
  void trayToolTipSaysTheNextCheckAndTheLastOutcome() {
    QFETCH(bool, running);
    QFETCH(int, left);
    QFETCH(bool, checked);
    QFETCH(bool, ok);
    QFETCH(QString, activity);
    TrayState state{running, static_cast<unsigned>(left), checked, "09:05", ok, 3, activity};
    QTEST(tray_tool_tip("T", state), "tip");
  }

  void notificationTexts() {
    std::optional<CheckNotification> acted = check_notification(outcome({{"a@x.cn", 2}, {"b@x.cn", 1}}));
    QVERIFY(acted);
    QCOMPARE(acted->summary, QString("规则处理了 3 封新邮件"));
    QCOMPARE(acted->body, QString("a@x.cn：2 封\nb@x.cn：1 封"));

    RunOutcome two_failed = outcome({{"a@x.cn", 1}}, 2);
    two_failed.checks = {{"b@x.cn", AccountCheck::Result::failed, "-ERR locked", 0},
                         {"c@x.cn", AccountCheck::Result::failed, pw::utf8_to_gb("等待服务器回应超时"), 0}};
    std::optional<CheckNotification> failed = check_notification(two_failed);
    QVERIFY(failed);
    QCOMPARE(failed->summary, QString("邮箱检查出错"));
    QCOMPARE(failed->body, QString("a@x.cn：1 封\n2 个邮箱检查失败\nb@x.cn：-ERR locked\nc@x.cn：等待服务器回应超时"));

    QVERIFY(!check_notification(outcome({})));
    QVERIFY(!check_notification(RunOutcome{}));
  }

  // The program's wiring: one notification per run that acted, none when
  // the user turned them off, none for a run that did nothing.
  void oneNotificationPerCheckThroughTheSessionBus() {
    PrivateSessionBus bus;
    if (!bus.up()) QSKIP("no dbus-daemon");
    DesktopNotifier notifier(bus.client());
    FrameStores data;
    data.add_watched("a@x.cn");
    QVERIFY(data.rules.save(data.dir).ok);
    QVERIFY(data.mailboxes.save().ok);
    FakeChecks checks;
    struct : PowerOff {
      void power_off() override {}
    } power;
    AppOptions o;
    o.dir = data.dir;
    o.instance_name = QStringLiteral("pelliwick-desktop-test");
    o.first_run_marker = data.temp / "first-run-done";
    (void)write_file_atomic(o.first_run_marker, "");
    o.view_state_file = QString::fromStdString((data.temp / "window.conf").string());
    o.boxes = &data.boxes;
    o.files = &data.files;
    o.checks = &checks;
    o.power_off = &power;
    o.notifier = &notifier;
    CPelliwickApp app(std::move(o));
    QVERIFY(app.start());
    CMainFrame* frame = app.frame();

    auto run = [&](RunOutcome result) {
      QVERIFY(frame->run_command(ui::cmd::kCheckAll));
      frame->tick_countdown();
      QVERIFY(checks.running);
      checks.outcome = std::move(result);
      checks.finish();
      frame->tick_countdown();
      frame->tick_countdown();
    };
    run(outcome({{"a@x.cn", 2}}));
    QTRY_COMPARE(bus.received().size(), 1);
    QCOMPARE(bus.received().at(0).summary, QString("规则处理了 2 封新邮件"));
    QCOMPARE(bus.received().at(0).app, QString("Pelliwick"));
    QCOMPARE(bus.received().at(0).icon, QString("pelliwick"));

    run(outcome({}));
    app.settings().set_notifications(false);
    run(outcome({{"a@x.cn", 1}}, 1));
    QTest::qWait(200);
    QCOMPARE(bus.received().size(), 1);
    app.settings().set_notifications(true);
    run(outcome({}, 1));
    QTRY_COMPARE(bus.received().size(), 2);
    QCOMPARE(bus.received().at(1).summary, QString("邮箱检查出错"));
    app.exit();
  }

  void qtStandardButtonsReadInChinese() {
    QVERIFY(install_qt_translations(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, "t", "m", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
    QVERIFY(box.button(QMessageBox::Cancel)->text().startsWith(QStringLiteral("取消")));
    QDialogButtonBox ok(QDialogButtonBox::Ok);
    QVERIFY(ok.button(QDialogButtonBox::Ok)->text().startsWith(QStringLiteral("确定")));
  }

  // Ctrl+A selects every row of a focused list that takes several; in a
  // list of single rows it stays the accelerator of "check all".
  void ctrlASelectsAllInAFocusedListInsteadOfChecking() {
    FrameStores s;
    s.add_watched("a@example.com");
    for (int i = 0; i < 3; ++i) s.local.add(false, "a@example.com", "f@x", "s" + std::to_string(i), "d", 10, "/p");
    auto frame = s.frame();
    frame->show();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    QTreeWidget* list = frame->info_view()->local_mail_list();
    QCOMPARE(list->topLevelItemCount(), 3);
    list->setFocus();
    const unsigned before = frame->countdown();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list->selectedItems().size(), 3);
    QCOMPARE(frame->countdown(), before);

    frame->tree()->setFocus();
    QTest::keyClick(frame->tree(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(frame->countdown(), 0u);
  }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
