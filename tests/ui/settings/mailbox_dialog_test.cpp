// The mailbox dialog: each check on its field, the enabling of the SMTP
// authentication group, what it stores and how it shows a stored account.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>

#include "res/string_ids.h"
#include "ui/gb_qstring.h"
#include "ui/settings/mailbox_dialog.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

struct Fields {
  QString address, login, password, pop, smtp;
  bool auth = false, own = false;
  QString smtp_login, smtp_password;
};

Fields complete() {
  return {"new@example.com", "new", "pw", "pop.example.com", "smtp.example.com", false, false, "", ""};
}

void enter(CMailboxDialog& d, const Fields& f) {
  d.findChild<QLineEdit*>("address")->setText(f.address);
  d.findChild<QLineEdit*>("loginName")->setText(f.login);
  d.findChild<QLineEdit*>("password")->setText(f.password);
  d.findChild<QLineEdit*>("popServer")->setText(f.pop);
  d.findChild<QLineEdit*>("smtpServer")->setText(f.smtp);
  d.findChild<QCheckBox*>("smtpAuth")->setChecked(f.auth);
  d.findChild<QRadioButton*>(f.own ? "ownCredentials" : "sameAsPop")->setChecked(true);
  d.findChild<QLineEdit*>("smtpLoginName")->setText(f.smtp_login);
  d.findChild<QLineEdit*>("smtpPassword")->setText(f.smtp_password);
}

bool enabled(CMailboxDialog& d, const char* name) { return d.findChild<QWidget*>(name)->isEnabled(); }

}  // namespace

class MailboxDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void eachFailureIsShownOnItsField_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("text_id");
    QTest::addColumn<QString>("focus");
    // Each row breaks the fields from `step` on, so that every later check
    // would fail too: only the first failure may be reported. The form
    // check's own test holds the finer cases.
    QTest::newRow("empty address") << 0 << sid::kBadAddress << "address";
    QTest::newRow("address cannot name a file") << 4 << sid::kBadAddress << "address";
    QTest::newRow("existing address in another case") << 5 << sid::kMailboxExists << "address";
    QTest::newRow("empty login name") << 6 << sid::kBadLoginName << "loginName";
    QTest::newRow("empty password") << 7 << sid::kBadPassword << "password";
    QTest::newRow("POP server without dot") << 8 << sid::kBadPopServer << "popServer";
    QTest::newRow("empty SMTP server") << 9 << sid::kBadSmtpServer << "smtpServer";
    QTest::newRow("own credentials, empty SMTP login") << 11 << sid::kBadSmtpLoginName << "smtpLoginName";
    QTest::newRow("own credentials, empty SMTP password") << 12 << sid::kBadSmtpPassword << "smtpPassword";
  }
  void eachFailureIsShownOnItsField() {
    QFETCH(int, step);
    QFETCH(int, text_id);
    QFETCH(QString, focus);
    Stores s;
    s.add_account("Taken@Example.com");
    const QString addresses[] = {"", "userexample.com", "user@examplecom", "first.last@host", "a/b@example.com",
                                 "taken@example.COM"};
    Fields f{"new@example.com", "", "", "", "", true, true, "", ""};
    if (step <= 5) f.address = addresses[step];
    if (step > 6) f.login = "new";
    if (step > 7) f.password = "pw";
    f.pop = step > 8 ? "pop.example.com" : "localhost";
    if (step == 10) f.smtp = "localhost";
    if (step > 10) f.smtp = "smtp.example.com";
    if (step > 11) f.smtp_login = "smtp-user";

    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    dialog.show();
    enter(dialog, f);
    dialog.findChild<QPushButton*>("ok")->click();
    QVERIFY(s.boxes.only(MessageKind::input_error, text_id));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.focusWidget()->objectName(), focus);
  }

  void validAddressesPass_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("dot after the at sign") << "first.last@example.com";
    QTest::newRow("plain") << "a@b.c";
    QTest::newRow("chinese local part") << "张三@例子.中国";
  }
  void validAddressesPass() {
    QFETCH(QString, address);
    Stores s;
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    dialog.show();
    Fields f = complete();
    f.address = address;
    enter(dialog, f);
    dialog.findChild<QPushButton*>("ok")->click();
    QVERIFY(s.boxes.shown.empty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.record().address, to_gb(address));
  }

  void authenticationGroupFollowsServerBoxAndChoice() {
    Stores s;
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    const char* group[] = {"smtpAuth", "sameAsPop", "ownCredentials", "smtpLoginName", "smtpPassword"};
    auto states = [&] {
      QList<bool> on;
      for (const char* name : group) on << enabled(dialog, name);
      return on;
    };
    QCOMPARE(states(), (QList<bool>{false, false, false, false, false}));
    dialog.findChild<QLineEdit*>("smtpServer")->setText("smtp.example.com");
    QCOMPARE(states(), (QList<bool>{true, false, false, false, false}));
    dialog.findChild<QCheckBox*>("smtpAuth")->setChecked(true);
    QCOMPARE(states(), (QList<bool>{true, true, true, false, false}));
    dialog.findChild<QRadioButton*>("ownCredentials")->setChecked(true);
    QCOMPARE(states(), (QList<bool>{true, true, true, true, true}));
    // Clearing the server disables the whole group at once.
    dialog.findChild<QLineEdit*>("smtpServer")->clear();
    QCOMPARE(states(), (QList<bool>{false, false, false, false, false}));
    dialog.findChild<QLineEdit*>("smtpServer")->setText("smtp.example.com");
    QCOMPARE(states(), (QList<bool>{true, true, true, true, true}));
    dialog.findChild<QRadioButton*>("sameAsPop")->setChecked(true);
    QCOMPARE(states(), (QList<bool>{true, true, true, false, false}));
    dialog.findChild<QCheckBox*>("smtpAuth")->setChecked(false);
    QCOMPARE(states(), (QList<bool>{true, false, false, false, false}));
  }

  void sameAsPopStoresThePopCredentialsAndReopensSo() {
    Stores s;
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    dialog.show();
    Fields f = complete();
    f.auth = true;
    f.smtp_login = "ignored";  // typed before the choice went back to the POP data
    enter(dialog, f);
    dialog.findChild<QPushButton*>("ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    MailboxRecord r = dialog.record();
    QCOMPARE(r.smtp_auth, 1u);
    QCOMPARE(r.smtp_login_name, std::string("new"));
    QCOMPARE(r.smtp_password, std::string("pw"));

    auto account = s.mailboxes.create(r);
    CMailboxDialog again(s.mailboxes, s.boxes, account.get());
    QVERIFY(!enabled(again, "address"));
    QCOMPARE(again.findChild<QLineEdit*>("address")->text(), QString("new@example.com"));
    QVERIFY(again.findChild<QCheckBox*>("smtpAuth")->isChecked());
    QVERIFY(again.findChild<QRadioButton*>("sameAsPop")->isChecked());
    QVERIFY(!enabled(again, "smtpLoginName"));
    // A new account requires TLS unless the user says otherwise.
    QVERIFY(r.require_tls);
    QVERIFY(again.findChild<QCheckBox*>("requireTls")->isChecked());

    // Not requiring it reaches the record and shows again.
    again.findChild<QCheckBox*>("requireTls")->setChecked(false);
    again.findChild<QPushButton*>("ok")->click();
    QVERIFY(!again.record().require_tls);
    account->set_record(again.record());
    CMailboxDialog third(s.mailboxes, s.boxes, account.get());
    QVERIFY(!third.findChild<QCheckBox*>("requireTls")->isChecked());
  }

  // A POP server once seen over TLS shows the box ticked. Left alone, the
  // stored choice and the mark stay; cleared, both go; a new POP server loses
  // the mark of the old one.
  void tlsSeenMarkShowsAndFollowsTheServer() {
    struct Case {
      const char* what;
      bool require, seen;        // stored
      bool untick;               // the user clears the box
      const char* server;        // typed POP server; null: unchanged
      bool shown, require_after, seen_after;
    } cases[] = {
        {"left alone", false, true, false, nullptr, true, false, true},
        {"left alone, required", true, true, false, nullptr, true, true, true},
        {"cleared", false, true, true, nullptr, true, false, false},
        {"cleared, required", true, true, true, nullptr, true, false, false},
        {"new server", false, true, false, "pop.other.com", true, false, false},
        {"never seen", false, false, false, nullptr, false, false, false},
    };
    for (const Case& c : cases) {
      Stores s;
      auto account = s.add_account("old@example.com");
      MailboxRecord r = account->record();
      r.require_tls = c.require;
      r.tls_seen = c.seen;
      account->set_record(r);
      CMailboxDialog dialog(s.mailboxes, s.boxes, account.get());
      auto* box = dialog.findChild<QCheckBox*>("requireTls");
      QVERIFY2(box->isChecked() == c.shown, c.what);
      if (c.untick) box->setChecked(false);
      if (c.server) dialog.findChild<QLineEdit*>("popServer")->setText(c.server);
      dialog.findChild<QPushButton*>("ok")->click();
      QVERIFY2(s.boxes.shown.empty(), c.what);
      QVERIFY2(dialog.record().require_tls == c.require_after, c.what);
      QVERIFY2(dialog.record().tls_seen == c.seen_after, c.what);
    }
  }

  void ownCredentialsAreKeptAndShownAgain() {
    Stores s;
    auto account = s.add_account("old@example.com");
    MailboxRecord r = account->record();
    r.smtp_auth = 1;
    r.smtp_password = "other";
    account->set_record(r);

    CMailboxDialog dialog(s.mailboxes, s.boxes, account.get());
    dialog.show();
    QVERIFY(dialog.findChild<QRadioButton*>("ownCredentials")->isChecked());
    QCOMPARE(dialog.findChild<QLineEdit*>("smtpPassword")->text(), QString("other"));
    QVERIFY(enabled(dialog, "smtpPassword"));
    // The existing address is not "already there".
    dialog.findChild<QLineEdit*>("password")->setText("new-secret");
    dialog.findChild<QPushButton*>("ok")->click();
    QVERIFY(s.boxes.shown.empty());
    QCOMPARE(dialog.record().address, std::string("old@example.com"));
    QCOMPARE(dialog.record().password, std::string("new-secret"));
    QCOMPARE(dialog.record().smtp_login_name, std::string("user"));
    QCOMPARE(dialog.record().smtp_password, std::string("other"));
  }

  void fieldsKeepWithinTheirStoredBytes_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kept");
    // Chinese characters take two bytes each.
    QTest::newRow("password, 31 bytes") << "password" << QString(40, u'密') << 15;
    QTest::newRow("password, ascii") << "password" << QString(40, u'x') << 31;
    QTest::newRow("address, 127 bytes") << "address" << QString(100, u'中') << 63;
    QTest::newRow("POP server, 63 bytes") << "popServer" << QString(70, u'p') << 63;
  }
  void fieldsKeepWithinTheirStoredBytes() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, kept);
    Stores s;
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    auto* edit = dialog.findChild<QLineEdit*>(field);
    edit->setText(typed);
    QCOMPARE(edit->text(), typed.left(kept));
  }
};

QTEST_MAIN(MailboxDialogTest)
#include "mailbox_dialog_test.moc"
