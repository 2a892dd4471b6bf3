// The commands on a saved mail: view, reply and forward reach a file whose
// path holds Chinese characters, and a reply still being sent neither holds
// the window up nor keeps the program from ending.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>

#include <filesystem>
#include <functional>

#include "base/code_page.h"
#include "base/file_io.h"
#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/mail_desk.h"
#include "ui/host/qt_engine_host.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/reply_dialog.h"
#include "ui/host/status_sink.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

constexpr char kMail[] = "From: sender@example.test\r\nTo: alice@home.test\r\nSubject: hello\r\n\r\nbody\r\n";

class NoStatus final : public StatusSink {
 public:
  void apply(const StatusReport&) override {}
};

class CountingDialogs final : public HostDialogs {
 public:
  void notice(QWidget*, const QString&, const QString&) override { ++notices; }
  std::optional<LoginData> correct_login(QWidget*, const LoginData&) override { return std::nullopt; }
  int notices = 0;
};

// A desk on one account whose SMTP server is `smtp`, and a mail saved under
// a path with Chinese characters and a blank in it.
struct Desk {
  Stores stores;
  test::TempDir saved;
  FixedClock clock{1101179103};
  OperationLog log{stores.dir, clock};
  LocalMailIndex local{stores.dir, clock};
  NoStatus status;
  CountingDialogs dialogs;
  QMainWindow window;
  QtEngineHost host{&window, status, stores.boxes, dialogs};
  LocalMailRecord record;

  explicit Desk(const std::string& smtp_field) {
    MailboxRecord account;
    account.address = "alice@home.test";
    account.smtp_server = smtp_field;
    (void)stores.mailboxes.create(account, true);
    const std::filesystem::path dir = saved.path() / "备份 邮件";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "来信.eml";
    if (!write_file_atomic(file, kMail)) qFatal("cannot write the saved mail");
    record.account = account.address;
    record.path = gb_from_path(file);
  }
  MailDesk desk(SmtpDeliveryOptions smtp = {}) {
    return MailDesk{host, log, local, stores.mailboxes, clock, stores.boxes, stores.files, nullptr, smtp};
  }
};

void answer_reply(ReplyDialog* d) {
  d->findChild<QLineEdit*>("subject")->setText("re");
  d->findChild<QPlainTextEdit*>("text")->setPlainText("thanks");
  d->accept();
}

void answer_forward(ForwardDialog* d) {
  d->findChild<QLineEdit*>("input")->setText("friend@example.test");
  d->findChild<QPushButton*>("add")->click();
  d->accept();
}

}  // namespace

class MailDeskTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void viewReplyAndForwardReadAPathOutsideAscii() {
    test::SmtpServer smtp;
    QVERIFY2(smtp.running(), smtp.log().c_str());
    Desk d(smtp.field());
    {
      SavedMailCommands commands(d.desk());
      {
        OnModal<CMailViewer> viewer([](CMailViewer* v) {
          QVERIFY(v->findChild<QTextEdit*>("headerBox")->toPlainText().contains("sender@example.test"));
          v->reject();
        });
        commands.view(&d.window, d.record);
        QCOMPARE(viewer.seen(), 1);
      }
      {
        OnModal<ReplyDialog> reply(answer_reply);
        commands.reply(&d.window, d.record);
        QCOMPARE(reply.seen(), 1);
      }
      QTRY_COMPARE_WITH_TIMEOUT(smtp.mails().size(), size_t{1}, 10000);
      {
        OnModal<ForwardDialog> forward(answer_forward);
        commands.forward(&d.window, d.record);
        QCOMPARE(forward.seen(), 1);
      }
      QTRY_COMPARE_WITH_TIMEOUT(smtp.mails().size(), size_t{2}, 10000);
      d.host.shut_down();
    }
    QVERIFY(d.stores.boxes.shown.empty());  // no "邮件文件打开失败"
    const std::vector<test::ReceivedMail> sent = smtp.mails();
    QCOMPARE(sent[0].recipients, std::vector<std::string>{"sender@example.test"});
    QCOMPARE(sent[1].recipients, std::vector<std::string>{"friend@example.test"});
    QVERIFY(sent[1].data.find("body") != std::string::npos);
  }

  // The server takes the sender and then says nothing: the reply waits on
  // its own worker, the command returns, and once the program ends (the host
  // shut down) the commands end without the window's help.
  void replyStillSendingDoesNotHoldTheProgramUp() {
    test::SmtpServer smtp(test::SmtpServerOptions().silent_after_mail());
    QVERIFY2(smtp.running(), smtp.log().c_str());
    Desk d(smtp.field());
    SmtpDeliveryOptions options;
    options.timeout = std::chrono::milliseconds(300);
    QtEngineHost* host = &d.host;
    options.notice = [host](const std::string& title, const std::string& message) { host->notice(title, message); };
    auto commands = std::make_unique<SavedMailCommands>(d.desk(options));
    {
      OnModal<ReplyDialog> reply(answer_reply);
      commands->reply(&d.window, d.record);
      QCOMPARE(reply.seen(), 1);
    }
    QVERIFY(smtp.mails().empty());  // still being sent
    // The worker soon waits for the UI thread to show its notice; this thread
    // does not turn to it but ends the program.
    QTest::qSleep(500);
    d.host.shut_down();
    commands.reset();
    QCOMPARE(d.dialogs.notices, 0);
  }
};

QTEST_MAIN(MailDeskTest)
#include "mail_desk_test.moc"
