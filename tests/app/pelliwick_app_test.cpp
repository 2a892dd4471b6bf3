// Start and exit of the program: single instance, first run, login, hidden
// start, the exit's saving and cleaning, the power-off after a scheduled
// shutdown, and the check lock shared with the headless check.
#include <QDialog>
#include <QLineEdit>
#include <QLocalServer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <filesystem>
#include <unistd.h>

#include "app/check_control.h"
#include "app/frame_fixture.h"
#include "app/gui_check_control.h"
#include "app/login_dialog.h"
#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "app/power_off.h"
#include "app/single_instance.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "engine/directory_lock.h"
#include "engine/engine_host.h"
#include "net/dial_up.h"
#include "net/smtp_sender_verifier.h"
#include "res/string_ids.h"
#include "stores/system_settings.h"
#include "ui/frame/command_ids.h"
#include "ui/host/host_dialogs.h"

using namespace pw;
using namespace pw::app;
using namespace pw::ui::testing;
namespace fs = std::filesystem;

namespace {

class QuietHost final : public EngineHost {
 public:
  void report(const StatusReport&) override {}
  std::optional<LoginData> correct_login(LoginService, const LoginData&, std::string_view) override { return {}; }
  void bring_to_front() override {}
  bool confirm(std::string_view, std::span<MailProcessor* const>, int) override { return true; }
  void dial_up_failed(std::string_view) override {}
  void notice(std::string_view, std::string_view) override {}
  bool ask_yes_no(std::string_view) override { return false; }
  void warning(std::string_view) override {}
  DownloadResult download_mail(const DownloadRequest&) override { return {}; }
};

class NoDialogs final : public ui::HostDialogs {
 public:
  void notice(QWidget*, const QString&, const QString&) override { ++notices; }
  std::optional<LoginData> correct_login(QWidget*, const LoginData&) override { return std::nullopt; }
  int notices = 0;
};

// Records the state of the program directory when the power-off came.
class RecordingPowerOff final : public PowerOff {
 public:
  explicit RecordingPowerOff(fs::path dir) : dir_(std::move(dir)) {}
  void power_off() override {
    ++calls;
    mailbox_saved = fs::exists(dir_ / "Mailbox");
    mail_temp_empty = fs::is_empty(dir_ / "MailTemp") || !fs::exists(dir_ / "MailTemp" / "view.html");
  }
  int calls = 0;
  bool mailbox_saved = false;
  bool mail_temp_empty = false;

 private:
  fs::path dir_;
};

struct AppSetup {
  pw::test::TempDir temp;
  fs::path data = temp.path() / "data";
  RecordingBoxes boxes;
  ScriptedFiles files;
  FakeChecks checks;
  RecordingPowerOff power{data};
  std::vector<QUrl> opened;
  int logins = 0;
  bool login_answer = true;
  bool url_opens = true;
  QString instance = QStringLiteral("pelliwick-test-") + QUuid::createUuid().toString(QUuid::Id128);

  AppSetup() { fs::create_directories(data); }
  AppOptions options() {
    AppOptions o;
    o.dir = ProgramDir(data);
    o.instance_name = instance;
    o.first_run_marker = temp.path() / "config" / "first-run-done";
    o.autostart_config_dir = temp.path() / "config";
    o.view_state_file = QString::fromStdString((temp.path() / "config" / "window.conf").string());
    o.boxes = &boxes;
    o.files = &files;
    o.power_off = &power;
    o.checks = &checks;
    o.login = [this](const std::string&) {
      ++logins;
      return login_answer;
    };
    o.open_url = [this](const QUrl& url) {
      opened.push_back(url);
      return url_opens;
    };
    return o;
  }
  void write_settings(uint32_t options) {
    SystemSettings settings;
    settings.options = options;
    settings.login_password = "secret";
    QVERIFY(settings.save(ProgramDir(data)).ok);
  }
};

}  // namespace

class PelliwickAppTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void exitSavesEveryStoreEmptiesMailTempThenPowersOff() {
    AppSetup s;
    CPelliwickApp app(s.options());
    QVERIFY(app.start());
    QVERIFY(fs::is_directory(s.data / "MailUID") && fs::is_directory(s.data / "LocalMail"));
    MailboxRecord record;
    record.address = "a@example.com";
    app.mailboxes().create(record);
    QVERIFY(write_file_atomic(s.data / "MailTemp" / "view.html", "x"));
    fs::create_directories(s.data / "MailTemp" / "kept");
    app.shutdown_fired() = true;
    app.exit();
    QCOMPARE(s.power.calls, 1);
    QVERIFY(s.power.mailbox_saved);
    QVERIFY(s.power.mail_temp_empty);
    QVERIFY(fs::exists(s.data / "System"));
    QVERIFY(fs::exists(s.data / "Ruler"));
    QVERIFY(fs::is_directory(s.data / "MailTemp" / "kept"));
    QVERIFY(s.boxes.shown.size() == 1);  // only the first-run question
  }

  // Remote management and the feedback dialog refuse to close while their
  // worker runs. A scheduled shutdown meanwhile still ends the program and
  // powers the computer off.
  void scheduledShutdownEndsTheProgramPastABusyDialog() {
    class BusyDialog final : public QDialog {
     public:
      using QDialog::QDialog;
      void reject() override {}
    };
    AppSetup s;
    FixedClock clock(std::time(nullptr));
    AppOptions o = s.options();
    o.clock = &clock;
    CPelliwickApp app(o);
    QVERIFY(app.start());
    end_event_loop_when_finished(app);
    const LocalTime now = to_local(clock.now());
    app.settings().set_option(SystemSettings::kAutoShutdown, true);
    app.settings().shutdown_hour = now.hour;
    app.settings().shutdown_minute = now.minute;
    bool dialog_ended = false;
    QTimer::singleShot(0, app.frame(), [&] {
      BusyDialog busy(app.frame());
      QTimer::singleShot(0, app.frame(), [&] { app.frame()->tick_shutdown(); });
      busy.exec();
      dialog_ended = true;
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(dialog_ended);
    app.exit();
    QCOMPARE(s.power.calls, 1);
  }

  void noPowerOffWithoutTheScheduledShutdown() {
    AppSetup s;
    CPelliwickApp app(s.options());
    QVERIFY(app.start());
    app.exit();
    QCOMPARE(s.power.calls, 0);
    QVERIFY(fs::exists(s.data / "System"));
  }

  void firstRunQuestionComesOnce() {
    AppSetup s;
    s.boxes.answer_yes = true;
    {
      CPelliwickApp app(s.options());
      QVERIFY(app.start());
      QVERIFY(s.boxes.only(ui::MessageKind::question, sid::kAskFirstRun));
      QCOMPARE(s.opened.size(), size_t{1});
      QVERIFY(s.opened[0].toLocalFile().endsWith(QStringLiteral("index.html")));
      app.exit();
    }
    s.boxes.shown.clear();
    CPelliwickApp again(s.options());
    QVERIFY(again.start());
    QVERIFY(s.boxes.shown.empty());
    again.exit();
  }

  void firstRunNamesTheProgramAndSaysWhereHelpIsWhenNothingOpensIt() {
    AppSetup s;
    s.boxes.answer_yes = true;
    s.url_opens = false;
    CPelliwickApp app(s.options());
    QVERIFY(app.start());
    QCOMPARE(s.boxes.shown.size(), size_t{2});
    QVERIFY(s.boxes.shown[0].text.contains(ui::text(sid::kProgramTitle)));
    QCOMPARE(s.boxes.shown[1].kind, ui::MessageKind::notice);
    QVERIFY(s.boxes.shown[1].text.contains(s.opened.at(0).toLocalFile()));
    app.exit();
  }

  void cancelledLoginEndsWithoutTouchingFiles() {
    AppSetup s;
    s.write_settings(SystemSettings::kLoginPassword);
    fs::create_directories(s.data / "MailTemp");
    QVERIFY(write_file_atomic(s.data / "MailTemp" / "view.html", "x"));
    const auto stamp = fs::last_write_time(s.data / "System");
    s.login_answer = false;
    CPelliwickApp app(s.options());
    QVERIFY(!app.start());
    QCOMPARE(s.logins, 1);
    app.exit();
    QVERIFY(fs::exists(s.data / "MailTemp" / "view.html"));
    QVERIFY(!fs::exists(s.data / "Mailbox"));
    QVERIFY(fs::last_write_time(s.data / "System") == stamp);
  }

  void hiddenStart_data() {
    QTest::addColumn<uint32_t>("options");
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<int>("logins");
    // No notification area (offscreen): minimised instead of hidden.
    QTest::newRow("plain") << uint32_t{0} << true << 0;
    // After a login the window shows normally.
    QTest::newRow("with login") << SystemSettings::kLoginPassword << false << 1;
  }
  void hiddenStart() {
    QFETCH(uint32_t, options);
    QFETCH(bool, minimised);
    QFETCH(int, logins);
    AppSetup s;
    s.write_settings(options);
    AppOptions o = s.options();
    o.hide = true;
    CPelliwickApp app(o);
    QVERIFY(app.start());
    QCOMPARE(s.logins, logins);
    QVERIFY(app.frame()->isVisible());
    QCOMPARE(app.frame()->isMinimized(), minimised);
    app.exit();
  }

  void secondInstanceAsksTheFirstToShowAndTouchesNothing() {
    AppSetup s;
    CPelliwickApp first(s.options());
    QVERIFY(first.start());
    first.frame()->hide();

    AppOptions o = s.options();
    const fs::path other = s.temp.path() / "other";
    o.dir = ProgramDir(other);
    CPelliwickApp second(o);
    QVERIFY(!second.start());
    QVERIFY(!fs::exists(other));
    QTRY_VERIFY(first.frame()->isVisible());
    second.exit();
    first.exit();
  }

  void instanceSocketLivesInADirectoryOfTheUsersOwn() {
    test::TempDir temp;
    const fs::path runtime = temp.path() / "runtime", open_dir = temp.path() / "open", cache = temp.path() / "cache";
    fs::create_directories(runtime);
    fs::create_directories(open_dir);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(open_dir, fs::perms::all, fs::perm_options::replace);
    const QByteArray saved_runtime = qgetenv("XDG_RUNTIME_DIR"), saved_cache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(QString::fromStdString(cache.string())));
    const QString title = QStringLiteral("Pelliwick邮箱管家-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString leaf = title + QLatin1Char('-') + QString::number(::getuid());
    struct Case {
      const char* name;
      std::optional<fs::path> runtime;
      fs::path expected_dir;
    };
    const Case cases[] = {
        {"runtime directory", runtime, runtime},
        // Unset, or one others may write to: a 0700 directory of the user's made for it.
        {"unset", std::nullopt, cache / "pelliwick-run"},
        {"open to all", open_dir, cache / "pelliwick-run"},
    };
    for (const Case& c : cases) {
      if (c.runtime)
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(QString::fromStdString(c.runtime->string())));
      else
        qunsetenv("XDG_RUNTIME_DIR");
      const QString name = SingleInstance::name_for(title);
      QCOMPARE(name, QString::fromStdString((c.expected_dir / leaf.toStdString()).string()));
      QCOMPARE(fs::status(c.expected_dir).permissions() & fs::perms::all, fs::perms::owner_all);
    }
    // Another user listening first under the name in the shared temporary
    // directory does not keep this instance from starting.
    QLocalServer squatter;
    QVERIFY(squatter.listen(leaf));
    SingleInstance instance(SingleInstance::name_for(title));
    QVERIFY(!instance.hand_over_to_running());
    SingleInstance second(SingleInstance::name_for(title));
    QVERIFY(second.hand_over_to_running());
    qputenv("XDG_RUNTIME_DIR", saved_runtime);
    if (saved_cache.isNull()) qunsetenv("XDG_CACHE_HOME");
    else qputenv("XDG_CACHE_HOME", saved_cache);
  }

  void loginDialogAcceptsOnlyTheExactPassword() {
    CLoginDialog dialog("Secret");
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LoginPassword"));
    dialog.show();
    edit->setText(QStringLiteral("secret"));
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    edit->setText(QStringLiteral("Secret"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  // The program's own check run behind the window: the stop command ends a
  // check whose server never answers, and the window sees how it ended.
  void stopCommandEndsTheProgramsCheck() {
    AppSetup s;
    QTcpServer mute;  // takes the connection, never greets
    QVERIFY(mute.listen(QHostAddress::LocalHost));
    {
      const ProgramDir dir(s.data);
      RuleStore rules;
      Rule rule;
      rule.id = 1;
      rule.name = "delete";
      rule.action_mask = bit(ActionKind::delete_on_server);
      rules.add(rule);
      MailboxList list(dir);
      MailboxRecord r;
      r.address = "a@home.test";
      r.login_name = "a";
      r.password = "p";
      r.pop_server = "127.0.0.1:" + std::to_string(mute.serverPort());
      QVERIFY(list.bind(*list.create(r, false), 1));
      SystemSettings settings;
      settings.set_notifications(false);
      QVERIFY(rules.save(dir).ok && list.save().ok && settings.save(dir).ok);
    }
    NoDialUp no_dial_up;
    NoDialogs dialogs;
    AppOptions o = s.options();
    o.checks = nullptr;
    o.dial_up = &no_dial_up;
    o.dialogs = &dialogs;
    CPelliwickApp app(o);
    QVERIFY(app.start());
    CMainFrame* frame = app.frame();
    std::optional<RunOutcome> seen;
    connect(frame, &CMainFrame::check_finished, [&](const RunOutcome& outcome) { seen = outcome; });
    (void)frame->run_command(ui::cmd::kCheckAll);
    frame->tick_countdown();
    QTRY_VERIFY(frame->command_enabled(ui::cmd::kStopCheck));
    QVERIFY(frame->run_command(ui::cmd::kStopCheck));
    // Well before the 20-second wait for the greeting.
    QTRY_VERIFY_WITH_TIMEOUT((frame->tick_countdown(), seen.has_value()), 5000);
    QVERIFY(seen->ran && seen->stopped);
    QCOMPARE(dialogs.notices, 0);
    app.exit();
  }

  void checkLockKeepsCronAndTheWindowApart() {
    FrameStores s;
    QuietHost host;
    NoDialUp no_dial_up;
    SmtpSenderVerifier verifier;
    GuiCheckControl checks(s.dir, CheckServices{s.mailboxes, s.log, s.local, verifier, s.clock, no_dial_up, host},
                           s.rules, s.settings);
    const fs::path lock_file = s.dir.file(DirectoryLock::kCheckLockName);
    {
      // A headless check holds the lock: the window starts none.
      DirectoryLock cron(lock_file);
      QVERIFY(cron.locked());
      QVERIFY(!checks.start(nullptr));
    }
    QVERIFY(checks.start(nullptr));
    checks.run().wait();
    QVERIFY(!checks.check_running());
    QVERIFY(!DirectoryLock(lock_file).locked());  // held until the frame has seen the end
    checks.run_ended();
    QVERIFY(DirectoryLock(lock_file).locked());
  }
};

QTEST_MAIN(PelliwickAppTest)
#include "pelliwick_app_test.moc"
