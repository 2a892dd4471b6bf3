// The notice box: shows its title and message as given, closes itself once
// its time has run from its opening, or earlier on "确定".
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <chrono>

#include "ui/host/notice_box.h"

using namespace pw::ui;
using namespace std::chrono_literals;

class NoticeBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTitleAndMessageAsPlainText() {
    CNoticeBox box("错误", "a@b.c\r\n<b>-ERR</b> 进行下列操作时发生错误");
    QCOMPARE(box.windowTitle(), QStringLiteral("错误"));
    auto* message = box.findChild<QTextEdit*>("message");
    QVERIFY(message->isReadOnly());
    QCOMPARE(message->toPlainText(), QStringLiteral("a@b.c\n<b>-ERR</b> 进行下列操作时发生错误"));
  }

  void eachBoxOpenedInTurnClosesItselfAfterItsTime() {
    for (int round = 0; round < 2; ++round) {
      CNoticeBox box("t", "m", nullptr, 50ms);
      box.open();
      QVERIFY(box.isVisible());
      QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), 5000);
      QCOMPARE(box.result(), int(QDialog::Accepted));
    }
  }

  void okClosesItEarlier() {
    CNoticeBox box("t", "m");
    box.open();
    QTest::mouseClick(box.findChild<QPushButton*>("ok"), Qt::LeftButton);
    QVERIFY(!box.isVisible());
  }
};

QTEST_MAIN(NoticeBoxTest)
#include "notice_box_test.moc"
