// The user interface keeps running during a check: a real check of new mails
// in four mailboxes at once on a local Dovecot runs through CheckRun on its
// workers with the Qt host,
// its reports applied to a real status bar, while a probe timer on the UI
// thread records the worst gap between its ticks.
#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/local_time.h"
#include "base/program_dir.h"
#include "engine/check_run.h"
#include "net/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "support/data_builders.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/remote_manager.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_bar_sink.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;

namespace {

// The mails of the check; PW_STALL_MAILS sets another count (2000 for the
// full measure).
int mail_count() {
  const char* v = std::getenv("PW_STALL_MAILS");
  return v ? std::atoi(v) : 300;
}

class AllowAll final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view) override { return true; }
};

// Any dialog is a failure of the run here.
class NoDialogs final : public HostDialogs {
 public:
  void notice(QWidget*, const QString& title, const QString& message) override {
    shown += title + " " + message + "\n";
  }
  std::optional<LoginData> correct_login(QWidget*, const LoginData&) override {
    shown += "login\n";
    return std::nullopt;
  }
  QString shown;
};

// The worst gap between the ticks of a 5 ms timer on the UI thread.
class StallProbe {
 public:
  using Clock = std::chrono::steady_clock;
  StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const Clock::time_point now = Clock::now();
      worst_ = std::max(worst_, now - last_);
      last_ = now;
    });
    last_ = Clock::now();
    timer_.start(5);
  }
  [[nodiscard]] double worst_ms() const { return std::chrono::duration<double, std::milli>(worst_).count(); }

 private:
  QTimer timer_;
  Clock::duration worst_{};
  Clock::time_point last_;
};

const std::vector<std::string> kUsers{"alice", "bob", "carol", "dave"};

// `mails` mails, taking turns among the first `users` users.
void deliver_mails(test::DovecotServer& pop, int mails, size_t users = 1) {
  for (int k = 0; k < mails; ++k) {
    std::string m = "From: s" + std::to_string(k) + "@example.test\nSubject: mail " + std::to_string(k) + "\n\n";
    while (m.size() < 4000) m += "a line of the body of mail " + std::to_string(k) + "\n";
    pop.deliver(kUsers[size_t(k) % users], m);
  }
}

std::shared_ptr<MailboxAccount> account_on(MailboxList& mailboxes, const test::DovecotServer& pop,
                                           const std::string& user = "alice") {
  return mailboxes.create(test::account_record(user + "@home.test", "secret", pop.server_field()), false);
}

}  // namespace

class UiStallTest : public QObject {
  Q_OBJECT

 private slots:
  void uiNeverStallsDuringACheck() {
    test::DovecotServer pop;
    std::vector<test::DovecotServer::User> users;
    for (const std::string& user : kUsers) users.push_back({user, "secret"});
    if (!pop.start(users)) QSKIP(qPrintable(QString::fromStdString(pop.error())));
    const int mails = mail_count();
    deliver_mails(pop, mails, kUsers.size());
    test::TempDir dir, backups;
    ProgramDir program{dir.path()};
    QVERIFY(program.create_directories());
    SystemClock clock;
    MailboxList mailboxes{program};
    Rule rule;
    rule.id = 1;
    rule.action_mask = 0x08;  // back up: whole mails, with the progress bar
    rule.backup_dir = backups.path().string();
    rule.fetch_need = compute_fetch_need(rule);
    for (const std::string& user : kUsers) QVERIFY(mailboxes.bind(*account_on(mailboxes, pop, user), 1));
    RunSettings settings;
    settings.rules = {rule};
    settings.mailboxes_at_once = static_cast<int>(kUsers.size());
    OperationLog log{program, clock};
    LocalMailIndex local{program, clock};
    log.load_current_month();
    local.load_current_month();

    QMainWindow window;
    StatusBarSink sink(window.statusBar());
    window.show();
    testing::RecordingBoxes boxes;
    NoDialogs dialogs;
    QtEngineHost host(&window, sink, boxes, dialogs);
    AllowAll verifier;
    NoDialUp dial_up;
    CheckRun run(CheckServices{mailboxes, log, local, verifier, clock, dial_up, host});

    using Clock = std::chrono::steady_clock;
    Clock::duration worst{};
    Clock::time_point last = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const Clock::time_point now = Clock::now();
      worst = std::max(worst, now - last);
      last = now;
    });
    probe.start(5);
    last = Clock::now();
    const Clock::time_point start = last;
    QVERIFY(run.start(nullptr, settings));
    QTRY_VERIFY_WITH_TIMEOUT(!run.check_running(), 300000);
    run.wait();
    probe.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double worst_ms = std::chrono::duration<double, std::milli>(worst).count();
    std::printf("check of %d mails in %.1f s, worst UI gap %.1f ms\n", mails, seconds, worst_ms);
    QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.shown));
    QVERIFY(run.last_outcome().ok());
    QCOMPARE(local.count(), size_t(mails));
    QVERIFY2(worst_ms < 50, qPrintable(QString::number(worst_ms)));
  }

  // Remote management lists the headers on its worker and adds the rows on
  // the UI thread without holding it up.
  void uiNeverStallsWhileListingRemoteMails() {
    test::DovecotServer pop;
    if (!pop.start({{"alice", "secret"}})) QSKIP(qPrintable(QString::fromStdString(pop.error())));
    const int mails = mail_count();
    deliver_mails(pop, mails);
    test::TempDir dir;
    ProgramDir program{dir.path()};
    QVERIFY(program.create_directories());
    SystemClock clock;
    MailboxList mailboxes{program};
    auto account = account_on(mailboxes, pop);
    OperationLog log{program, clock};
    LocalMailIndex local{program, clock};
    QMainWindow window;
    StatusBarSink sink(window.statusBar());
    testing::RecordingBoxes boxes;
    NoDialogs dialogs;
    QtEngineHost host(&window, sink, boxes, dialogs);
    CRemoteManager dialog(account, CRemoteManager::Mode::all_mails, RemoteServices{host, log, local, clock, boxes});

    StallProbe probe;
    const auto start = StallProbe::Clock::now();
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.operate_button()->isEnabled(), 300000);
    const double seconds = std::chrono::duration<double>(StallProbe::Clock::now() - start).count();
    std::printf("listing of %d mails in %.1f s, worst UI gap %.1f ms\n", mails, seconds, probe.worst_ms());
    QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.shown));
    QCOMPARE(dialog.row_count(), size_t(mails));
    QVERIFY2(probe.worst_ms() < 50, qPrintable(QString::number(probe.worst_ms())));
  }
};

QTEST_MAIN(UiStallTest)
#include "ui_stall_test.moc"
