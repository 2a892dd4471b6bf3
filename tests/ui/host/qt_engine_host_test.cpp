// The Qt engine host: calls made on a worker reach the UI thread in order
// and the worker gets each answer; calls on the UI thread run at once; a
// shut-down host lets waiting workers go; the whole-mail download.
#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QThread>

#include <atomic>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/code_page.h"
#include "res/string_table.h"
#include "net/pop3_session.h"
#include "support/dovecot_server.h"
#include "ui/gb_qstring.h"
#include "ui/host/host_dialogs.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_sink.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

bool on_ui_thread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Everything the host shows, in the order it was shown, each entry marked
// with "!" when it did not run on the UI thread.
struct Journal {
  std::vector<QString> entries;
  void add(const QString& entry) { entries.push_back(on_ui_thread() ? entry : "!" + entry); }
};

class RecordingSink final : public StatusSink {
 public:
  explicit RecordingSink(Journal& journal) : journal_(journal) {}
  void apply(const StatusReport& r) override {
    journal_.add(QStringLiteral("report %1 %2 %3").arg(int(r.kind)).arg(r.pane).arg(from_gb(r.text)));
  }

 private:
  Journal& journal_;
};

class ScriptedDialogs final : public HostDialogs {
 public:
  explicit ScriptedDialogs(Journal& journal) : journal_(journal) {}
  void notice(QWidget*, const QString& title, const QString& message) override {
    journal_.add("notice " + title + " " + message);
    if (on_notice) on_notice();
  }
  std::optional<LoginData> correct_login(QWidget*, const LoginData& refused) override {
    journal_.add(QStringLiteral("login %1 %2").arg(from_gb(refused.user), from_gb(refused.password)));
    if (logins.empty()) return std::nullopt;
    std::optional<LoginData> answer = logins.front();
    logins.pop_front();
    return answer;
  }
  std::deque<std::optional<LoginData>> logins;
  std::function<void()> on_notice;

 private:
  Journal& journal_;
};

// The message boxes journalled too.
class JournalBoxes final : public MessageBoxes {
 public:
  explicit JournalBoxes(Journal& journal) : journal_(journal) {}
  using MessageBoxes::show;
  bool show(QWidget*, MessageKind kind, const QString& message) override {
    journal_.add(QStringLiteral("box %1 %2").arg(int(kind)).arg(message));
    return kind == MessageKind::question && answer_yes;
  }
  bool answer_yes = true;

 private:
  Journal& journal_;
};

struct HostRig {
  Journal journal;
  RecordingSink sink{journal};
  JournalBoxes boxes{journal};
  ScriptedDialogs dialogs{journal};
  QMainWindow window;
  QtEngineHost host{&window, sink, boxes, dialogs};
};

std::string gb(const char* utf8) { return utf8_to_gb(utf8); }

// Runs `work` on a thread of its own while the UI thread's event loop runs,
// until it has ended.
bool on_worker(const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
  });
  const bool ended = QTest::qWaitFor([&] { return done.load(); }, 10000);
  worker.join();
  return ended;
}

}  // namespace

class QtEngineHostTest : public QObject {
  Q_OBJECT

 private slots:
  void workerCallsReachTheUiThreadInOrderWithTheirAnswers() {
    HostRig rig;
    rig.dialogs.logins = {LoginData{gb("张三"), "right"}, std::nullopt};
    // The UI thread's timers keep firing while the worker waits.
    int ticks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { ++ticks; });
    probe.start(1);
    bool yes = false;
    std::optional<LoginData> first, second;
    QVERIFY(on_worker([&] {
      rig.host.report(StatusReport::show_text(0, gb("正在检查")));
      rig.host.notice(res::text(sid::kErrorTitle), gb("邮箱\r\n出错"));
      yes = rig.host.ask_yes_no(gb("继续吗？"));
      first = rig.host.correct_login(LoginService::pop3, {"alice", "wrong"}, "-ERR no\r\n");
      rig.host.report(StatusReport::progress_range(0, 40));
      second = rig.host.correct_login(LoginService::smtp, {"me", "bad"}, "535 no\r\n");
      rig.host.warning(res::text(sid::kNotOnServer));
      rig.host.dial_up_failed(gb("自动拨号错误：忙"));
      rig.host.report(StatusReport::hide_progress());
      // Waits for a tick that can only come from the running event loop.
      const int seen = ticks;
      while (ticks == seen) rig.host.report(StatusReport::progress_position(1));
    }));
    std::vector<QString> expected = {
        "report 0 0 正在检查",     "notice 错误 邮箱\r\n出错", "box 2 继续吗？",
        "login alice wrong",       "report 1 2 ",              "login me bad",
        "box 0 服务器上已无此邮件", "box 0 自动拨号错误：忙",   "report 3 2 ",
    };
    std::vector<QString> got(rig.journal.entries.begin(),
                             rig.journal.entries.begin() + std::min(rig.journal.entries.size(), expected.size()));
    QCOMPARE(got, expected);
    for (size_t i = expected.size(); i < rig.journal.entries.size(); ++i)
      QCOMPARE(rig.journal.entries[i], QStringLiteral("report 2 2 "));
    QVERIFY(yes);
    QVERIFY(first && first->user == gb("张三") && first->password == "right");
    QVERIFY(!second);
  }

  void callsOnTheUiThreadRunAtOnce() {
    HostRig rig;
    rig.boxes.answer_yes = false;
    // No event loop runs here: a call handed over and waited for would hang.
    rig.host.report(StatusReport::show_text(1, "x"));
    QVERIFY(!rig.host.ask_yes_no("q"));
    rig.host.notice("t", "m");
    QCOMPARE(rig.journal.entries, (std::vector<QString>{"report 0 1 x", "box 2 q", "notice t m"}));
  }

  void shutDownLetsWaitingWorkersGoWithoutShowingAnything() {
    HostRig rig;
    // The user quits while a notice is open: the open box is waited for, the
    // calls after it are answered as if nobody were there.
    rig.dialogs.on_notice = [&] { rig.host.shut_down(); };
    bool yes = true;
    std::optional<LoginData> login = LoginData{};
    QVERIFY(on_worker([&] {
      rig.host.notice("t", "m");
      yes = rig.host.ask_yes_no("q");
      login = rig.host.correct_login(LoginService::pop3, {"a", "b"}, "");
      rig.host.report(StatusReport::show_text(0, "late"));
    }));
    QVERIFY(!yes);
    QVERIFY(!login);
    QCoreApplication::processEvents();
    QCOMPARE(rig.journal.entries, (std::vector<QString>{"notice t m"}));
  }

  void aWorkerWaitingForAnIdleUiThreadIsLetGoByShutDown() {
    HostRig rig;
    std::atomic<bool> done{false};
    bool yes = true;
    std::thread worker([&] {
      yes = rig.host.ask_yes_no("q");
      done = true;
    });
    // The UI thread handles no events: the question stays queued.
    rig.host.shut_down();
    worker.join();
    QVERIFY(!yes);
    // The queued question is dropped, not shown late.
    QCoreApplication::processEvents();
    QVERIFY(rig.journal.entries.empty());
  }

  void bringToFrontShowsAHiddenOrMinimisedWindow() {
    for (bool minimised : {false, true}) {
      HostRig rig;
      if (minimised) {
        rig.window.showMinimized();
        QVERIFY(rig.window.isMinimized());
      }
      QVERIFY(on_worker([&] { rig.host.bring_to_front(); }));
      QVERIFY(rig.window.isVisible());
      QVERIFY(!rig.window.isMinimized());
    }
  }

  void downloadFetchesTheWholeMailByItsIdentifier() {
    test::DovecotServer server;
    if (!server.start({{"alice", "secret"}})) QSKIP(qPrintable("no Dovecot: " + QString::fromStdString(server.error())));
    const std::string mail = "Subject: one\n\n.a dotted line\nbody\n";
    server.deliver("alice", mail);
    std::string uid;
    {
      Pop3Session pop;
      QVERIFY(pop.log_in(server.server_field(), "alice", "secret") && pop.uidl_all());
      uid = pop.unique_id(1);
      (void)pop.quit();
    }
    HostRig rig;
    auto download = [&](std::string password, std::string id) -> DownloadResult {
      DownloadResult r;
      if (!on_worker([&] { r = rig.host.download_mail({{server.server_field(), "alice", password}, id}); })) return {};
      return r;
    };
    DownloadResult whole = download("secret", uid);
    QCOMPARE(int(whole.outcome), int(DownloadResult::Outcome::downloaded));
    QVERIFY(whole.text.starts_with("Subject: one\r\n"));
    QVERIFY(whole.text.find("\r\nbody\r\n") != std::string::npos);
    QCOMPARE(int(download("secret", "no-such-uid").outcome), int(DownloadResult::Outcome::not_on_server));
    QCOMPARE(int(download("wrong", uid).outcome), int(DownloadResult::Outcome::error));
    // A download asks no dialog, also when the password is refused.
    QVERIFY(rig.journal.entries.empty());
  }
};

QTEST_MAIN(QtEngineHostTest)
#include "qt_engine_host_test.moc"
