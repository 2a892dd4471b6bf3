// The password dialog: shows the refused data, returns what was typed on
// "确定" and nothing on "取消", keeps the fields within their stored bytes.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "base/code_page.h"
#include "ui/host/password_dialog.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

class PasswordDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void returnsTheTypedDataOrNothing() {
    for (bool confirm : {true, false}) {
      OnModal<QDialog> work([&](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("密码错误"));
        QCOMPARE(d->findChild<QLineEdit*>("user")->text(), QStringLiteral("张三"));
        QCOMPARE(d->findChild<QLineEdit*>("password")->text(), QStringLiteral("wrong"));
        d->findChild<QLineEdit*>("user")->setText(QStringLiteral("李四"));
        d->findChild<QLineEdit*>("password")->setText(QStringLiteral("right"));
        QTest::mouseClick(d->findChild<QPushButton*>(confirm ? "ok" : "cancel"), Qt::LeftButton);
      });
      std::optional<LoginData> got = CPasswordDialog::ask(nullptr, {utf8_to_gb("张三"), "wrong"});
      QCOMPARE(work.seen(), 1);
      QCOMPARE(got.has_value(), confirm);
      if (got) {
        QCOMPARE(got->user, utf8_to_gb("李四"));
        QCOMPARE(got->password, std::string("right"));
      }
    }
  }

  void fieldsKeepWithinTheirStoredBytes() {
    CPasswordDialog d({std::string(200, 'u'), std::string(50, 'p')});
    QCOMPARE(d.login().user.size(), size_t{127});
    QCOMPARE(d.login().password.size(), size_t{31});
    QCOMPARE(d.findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
  }
};

QTEST_MAIN(PasswordDialogTest)
#include "password_dialog_test.moc"
