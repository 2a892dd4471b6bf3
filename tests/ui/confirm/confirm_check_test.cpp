// A check of a real POP3 server with a rule that asks first: the Qt host
// opens the confirmation window from the check's worker, the test answers it
// as a user would, and what reaches the SMTP server and what stays on the
// POP3 server follows the ticks.
#include <QMainWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "base/local_time.h"
#include "engine/check_run.h"
#include "net/dial_up.h"
#include "net/pop3_session.h"
#include "rules/rule.h"
#include "net/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "support/dovecot_server.h"
#include "support/smtp_server.h"
#include "ui/confirm/confirm_mails_dialog.h"
#include "ui/host/host_dialogs.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_sink.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

class NoStatus final : public StatusSink {
 public:
  void apply(const StatusReport&) override {}
};

class TrustingVerifier final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view) override { return true; }
};

std::string mail(int k) {
  return "From: s" + std::to_string(k) + "@example.test\nTo: alice@home.test\nSubject: mail number " +
         std::to_string(k) + "\n\nbody of mail " + std::to_string(k) + "\n";
}

// The subjects of the mails left on the server.
std::vector<std::string> left_on_server(const test::DovecotServer& server) {
  std::vector<std::string> subjects;
  Pop3Session pop;
  if (!pop.log_in(server.server_field(), "alice", "secret") || !pop.uidl_all()) return {"(no session)"};
  for (int i = 1; i <= pop.message_count(); ++i) {
    int r = pop.top(pop.message_number(i), 0);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    const std::string text = pop.take_data_text();
    const size_t at = text.find("Subject: ");
    subjects.push_back(text.substr(at + 9, text.find("\r\n", at) - at - 9));
  }
  (void)pop.quit();
  return subjects;
}

}  // namespace

class ConfirmCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void whatTheServersSeeFollowsTheTicks() {
    test::DovecotServer pop;
    if (!pop.start({{"alice", "secret"}})) QSKIP(qPrintable("no Dovecot: " + QString::fromStdString(pop.error())));
    test::SmtpServer smtp;
    QVERIFY2(smtp.running(), smtp.log().c_str());
    pop.deliver("alice", mail(1));
    pop.deliver("alice", mail(2));

    Stores stores;
    MailboxRecord record;
    record.address = "alice@home.test";
    record.login_name = "alice";
    record.password = "secret";
    record.pop_server = pop.server_field();
    record.smtp_server = smtp.field();
    std::shared_ptr<MailboxAccount> account = stores.mailboxes.create(record, false);
    Rule rule;
    rule.id = 1;
    rule.name = "ask";
    rule.action_mask = bit(ActionKind::confirm) | bit(ActionKind::forward) | bit(ActionKind::delete_on_server);
    rule.confirm_seconds = 0;  // waits for the answer
    rule.delete_always = true;
    rule.forward.to = "friend@example.test;";
    rule.fetch_need = compute_fetch_need(rule);
    stores.rules.add(rule);
    QVERIFY(stores.mailboxes.bind(*account, 1));

    FixedClock clock{1101179103};
    OperationLog log(stores.dir, clock);
    LocalMailIndex local(stores.dir, clock);
    TrustingVerifier verifier;
    NoDialUp no_dial_up;
    NoStatus status;
    QtHostDialogs dialogs;
    QMainWindow window;
    QtEngineHost host(&window, status, stores.boxes, dialogs);
    CheckRun run(CheckServices{stores.mailboxes, log, local, verifier, clock, no_dial_up, host});

    // Mail 1 keeps its forward but not its delete; mail 2 the other way round.
    OnModal<ConfirmMailsDialog> answer([](ConfirmMailsDialog* d) {
      auto* list = d->findChild<QTableWidget*>("mailList");
      auto* tree = d->findChild<QTreeWidget*>("ruleTree");
      tree->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1, 1)).center());
      tree->topLevelItem(0)->child(0)->setCheckState(0, Qt::Unchecked);
      QTest::mouseClick(d->findChild<QPushButton*>("execute"), Qt::LeftButton);
    });
    QVERIFY(run.start(nullptr, RunSettings::from(stores.rules, stores.settings)));
    QTRY_VERIFY_WITH_TIMEOUT(!run.check_running(), 30000);
    run.wait();

    QCOMPARE(answer.seen(), 1);
    QVERIFY(run.last_outcome().ok());
    QVERIFY(smtp.wait_for_mails(1));
    QTest::qWait(200);
    const std::vector<test::ReceivedMail> sent = smtp.mails();
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(sent[0].recipients, std::vector<std::string>{"friend@example.test"});
    QCOMPARE(sent[0].data, test::DovecotServer::wire_form(mail(1)));
    QCOMPARE(left_on_server(pop), std::vector<std::string>{"mail number 1"});
  }

  void aHostThatIsShutDownAnswersNothing() {
    Stores stores;
    NoStatus status;
    QtHostDialogs dialogs;
    QtEngineHost host(nullptr, status, stores.boxes, dialogs);
    host.shut_down();
    bool answered = true;
    std::thread worker([&] { answered = host.confirm("me@home.test", {}, 0); });
    worker.join();
    QVERIFY(!answered);
  }
};

QTEST_MAIN(ConfirmCheckTest)
#include "confirm_check_test.moc"
