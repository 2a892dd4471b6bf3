// The confirmation window: its countdown, what stops it and what holds it
// (the user at this window or another one), the rule tree's
// ticks reaching each mail's action masks, the extra operations with their
// check, links and description, viewing a mail held only by its header, and
// the size column.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <deque>
#include <memory>

#include "base/code_page.h"
#include "engine/mail_processor.h"
#include "rules/rule.h"
#include "ui/confirm/confirm_mails_dialog.h"
#include "ui/rules/extra_editors.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

constexpr uint32_t kConfirm = bit(ActionKind::confirm);
constexpr uint32_t kForward = bit(ActionKind::forward);
constexpr uint32_t kDelete = bit(ActionKind::delete_on_server);

// The countdown's seconds, fired by the test.
class HandTicker final : public CountdownTicker {
 public:
  void start(std::function<void()> tick) override { tick_ = std::move(tick); }
  void stop() override { tick_ = nullptr; }
  [[nodiscard]] bool active() const override { return tick_ != nullptr; }
  void fire(int times = 1) {
    for (int k = 0; k < times && tick_; ++k) tick_();
  }

 private:
  std::function<void()> tick_;
};

class ScriptedEditors final : public ExtraEditors {
 public:
  bool edit(QWidget*, uint8_t operation, ExtraOperations& extra) override {
    opened.push_back(operation);
    if (operation == ExtraOperations::kForward) extra.forward.to = "a@x.test;b@x.test;";
    return true;
  }
  std::vector<int> opened;
};

// Two header-only mails of one account, both met by an asking rule that
// forwards and deletes, and a third mail that asks nothing.
struct Rig {
  Stores stores;
  std::shared_ptr<MailboxAccount> account = stores.add_account("me@home.test");
  Rule asking;
  Rule quiet;
  std::vector<std::unique_ptr<MailProcessor>> mails;
  std::vector<MailProcessor*> list;
  ScriptedEditors editors;
  std::deque<DownloadResult> downloads;
  std::vector<DownloadRequest> requested;
  HandTicker ticker;
  // The viewer: a window over the confirmation window, open while `reading` runs.
  std::function<void(QWidget*)> reading;
  int viewed = 0;

  Rig() {
    asking.name = utf8_to_gb("先问我");
    asking.action_mask = kConfirm | kForward | kDelete;
    asking.confirm_seconds = 5;
    asking.forward.to = "friend@x.test;";
    quiet.name = "quiet";
    quiet.action_mask = kDelete;
    for (int k = 1; k <= 3; ++k) {
      MailSummary summary;
      summary.uid = "uid" + std::to_string(k);
      summary.mail_text = "From: s" + std::to_string(k) + "@x.test\r\nSubject: mail " + std::to_string(k) + "\r\n";
      summary.size = 1536;
      auto mail = std::make_unique<MailProcessor>(std::move(summary), *account);
      if (k != 2) mail->add_rule(asking);
      mail->add_rule(quiet);
      list.push_back(mail.get());
      mails.push_back(std::move(mail));
    }
  }

  std::unique_ptr<ConfirmMailsDialog> open(int countdown) {
    ConfirmServices services{stores.boxes, editors, [this](const DownloadRequest& r) {
                               requested.push_back(r);
                               DownloadResult next = downloads.front();
                               downloads.pop_front();
                               return next;
                             }};
    services.view = [this](QWidget* parent, MailProcessor&) {
      ++viewed;
      QDialog viewer(parent);
      viewer.setObjectName(QStringLiteral("viewer"));
      QTimer::singleShot(0, &viewer, [&] {
        if (reading) reading(&viewer);
        viewer.accept();
      });
      viewer.exec();
    };
    services.ticker = &ticker;
    auto dialog = std::make_unique<ConfirmMailsDialog>(nullptr, "me@home.test", list, countdown, services);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) qWarning("window not exposed");
    return dialog;
  }
};

template <class W>
W* part(QWidget* dialog, const char* name) {
  return dialog->findChild<W*>(QString::fromLatin1(name));
}

QTreeWidgetItem* action_node(QWidget* dialog, int rule, int action) {
  return part<QTreeWidget>(dialog, "ruleTree")->topLevelItem(rule)->child(action);
}

void click_row(QWidget* dialog, int row) {
  auto* list = part<QTableWidget>(dialog, "mailList");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row, 1)).center());
}

void tick_extra(QWidget* dialog, int row, bool on) {
  part<QTreeWidget>(dialog, "extraList")->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

}  // namespace

class ConfirmMailsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void listsOnlyTheMailsThatAskWithTheirRulesAndActions() {
    Rig rig;
    auto d = rig.open(0);
    auto* list = part<QTableWidget>(d.get(), "mailList");
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->item(1, 3)->text(), QStringLiteral("mail 3"));
    QCOMPARE(list->item(0, 0)->data(kImageRole).toInt(), 0);
    auto* tree = part<QTreeWidget>(d.get(), "ruleTree");
    QCOMPARE(tree->topLevelItemCount(), 2);
    // Forward before delete; the confirm action has no node.
    QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
    QVERIFY(action_node(d.get(), 0, 0)->text(0).startsWith(QStringLiteral("转发给friend@x.test")));
    QVERIFY(action_node(d.get(), 0, 1)->text(0).startsWith(text(sid::kDeleteAction)));
  }

  void countdownExecutesAfterItsTicks() {
    Rig rig;
    auto d = rig.open(2);
    auto* bar = part<QProgressBar>(d.get(), "countdownBar");
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 2);
    rig.ticker.fire();
    QCOMPARE(d->remaining_seconds(), 1);
    QCOMPARE(part<QLabel>(d.get(), "countdownText")->text(), QStringLiteral("1") + text(sid::kSecondsToAct));
    QCOMPARE(bar->value(), 1);
    rig.ticker.fire();
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Rejected));
  }

  void countdownOfZeroNeverCloses() {
    Rig rig;
    auto d = rig.open(0);
    QVERIFY(!d->counting());
    QVERIFY(!part<QProgressBar>(d.get(), "countdownBar")->isVisible());
    QVERIFY(!part<QLabel>(d.get(), "countdownText")->isVisible());
    rig.ticker.fire(3);
    QVERIFY(d->isVisible());
  }

  void theMailListHasTheFocusAtOpen() {
    Rig rig;
    auto d = rig.open(5);
    QCOMPARE(d->focusWidget(), part<QTableWidget>(d.get(), "mailList"));
    QVERIFY(d->counting());
  }

  void userActivityStopsTheCountdownForGood_data() {
    QTest::addColumn<int>("event");
    QTest::newRow("click in the mail list") << 0;
    QTest::newRow("list loses the focus") << 1;
    QTest::newRow("press on the background") << 2;
    QTest::newRow("resize") << 3;
    QTest::newRow("click in the rule tree") << 4;
    QTest::newRow("click in the extra operations") << 5;
    QTest::newRow("click in the description") << 6;
    QTest::newRow("a key") << 7;
    QTest::newRow("the wheel") << 8;
    QTest::newRow("view button") << 9;
    QTest::newRow("double click on a mail") << 10;
    QTest::newRow("a link editor") << 11;
  }
  void userActivityStopsTheCountdownForGood() {
    QFETCH(int, event);
    Rig rig;
    rig.downloads = {{DownloadResult::Outcome::downloaded, "From: s1@x.test\r\n\r\nbody\r\n"}};
    auto d = rig.open(3);
    auto* list = part<QTableWidget>(d.get(), "mailList");
    auto centre = [](QWidget* w) { return w->rect().center(); };
    switch (event) {
      case 0: click_row(d.get(), 0); break;
      case 1: part<QPushButton>(d.get(), "execute")->setFocus(Qt::TabFocusReason); break;
      case 2: QTest::mouseClick(d.get(), Qt::LeftButton, {}, QPoint(3, 3)); break;
      case 3:
        QCoreApplication::processEvents();  // the window has settled
        d->resize(d->width() + 40, d->height() + 40);
        break;
      case 4: {
        auto* tree = part<QTreeWidget>(d.get(), "ruleTree");
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre(tree->viewport()));
        break;
      }
      case 5: {
        auto* extra = part<QTreeWidget>(d.get(), "extraList");
        QTest::mouseClick(extra->viewport(), Qt::LeftButton, {}, centre(extra->viewport()));
        break;
      }
      case 6: {
        auto* view = part<QTextBrowser>(d.get(), "extraDescription");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre(view->viewport()));
        break;
      }
      case 7: QTest::keyClick(list, Qt::Key_Right); break;
      case 8: {
        QWheelEvent wheel(QPointF(5, 5), list->viewport()->mapToGlobal(QPointF(5, 5)), {}, {0, -120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list->viewport(), &wheel);
        break;
      }
      case 9: part<QToolButton>(d.get(), "viewMail")->click(); break;
      case 10: emit list->itemDoubleClicked(list->item(0, 1)); break;
      case 11:
        tick_extra(d.get(), 0, true);
        emit part<QTextBrowser>(d.get(), "extraDescription")->anchorClicked(QUrl(QStringLiteral("#6")));
        break;
    }
    QVERIFY(!d->counting());
    QVERIFY(!part<QProgressBar>(d.get(), "countdownBar")->isVisible());
    QCOMPARE(part<QLabel>(d.get(), "countdownText")->text(), text(sid::kCountdownStopped));
    rig.ticker.fire(5);
    QVERIFY(d->isVisible());
  }

  void nothingActsWhileTheViewerIsOpen() {
    Rig rig;
    rig.downloads = {{DownloadResult::Outcome::downloaded, "From: s1@x.test\r\n\r\nbody\r\n"}};
    auto d = rig.open(30);
    rig.ticker.fire(27);  // three seconds left when the user opens the mail
    bool open_while_reading = false;
    rig.reading = [&](QWidget*) {
      rig.ticker.fire(30);
      open_while_reading = d->isVisible();
    };
    part<QToolButton>(d.get(), "viewMail")->click();
    QCOMPARE(rig.viewed, 1);
    QVERIFY(open_while_reading);
    QVERIFY(d->isVisible());
    QCOMPARE(d->remaining_seconds(), 3);
    QCOMPARE(part<QLabel>(d.get(), "countdownText")->text(), text(sid::kCountdownStopped));
    // Back at the confirmation window, in its list.
    QCOMPARE(d->focusWidget(), part<QTableWidget>(d.get(), "mailList"));
    QTRY_COMPARE(QApplication::activeWindow(), d.get());
  }

  void countdownHoldsWhileAnotherWindowIsOpen() {
    Rig rig;
    auto d = rig.open(2);
    auto other = std::make_unique<QDialog>();
    other->show();
    rig.ticker.fire(5);
    QVERIFY(d->isVisible());
    QCOMPARE(d->remaining_seconds(), 2);
    other->hide();
    rig.ticker.fire(2);
    QVERIFY(!d->isVisible());
  }

  void untickedDeleteOfOneMailLeavesTheOthers() {
    Rig rig;
    auto d = rig.open(0);
    action_node(d.get(), 0, 1)->setCheckState(0, Qt::Unchecked);  // delete of mail 1
    auto* rule_node = part<QTreeWidget>(d.get(), "ruleTree")->topLevelItem(0);
    QCOMPARE(rule_node->checkState(0), Qt::PartiallyChecked);
    click_row(d.get(), 1);
    QCOMPARE(part<QTreeWidget>(d.get(), "ruleTree")->topLevelItem(0)->checkState(0), Qt::Checked);
    click_row(d.get(), 0);  // the ticks come back with the mail
    QCOMPARE(action_node(d.get(), 0, 1)->checkState(0), Qt::Unchecked);
    QTest::mouseClick(part<QPushButton>(d.get(), "execute"), Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QVERIFY(!rig.mails[0]->runs(0, kDelete));
    QVERIFY(rig.mails[0]->runs(0, kForward));
    QVERIFY(rig.mails[0]->runs(1, kDelete));  // the other rule of the same mail
    QVERIFY(rig.mails[2]->runs(0, kDelete));
  }

  void aClickOnAPartlyTickedRuleUnticksAllItsActions() {
    Rig rig;
    auto d = rig.open(0);
    action_node(d.get(), 0, 0)->setCheckState(0, Qt::Unchecked);
    auto* node = part<QTreeWidget>(d.get(), "ruleTree")->topLevelItem(0);
    node->setCheckState(0, Qt::Checked);  // what Qt makes of the click
    QCOMPARE(node->checkState(0), Qt::Unchecked);
    QCOMPARE(action_node(d.get(), 0, 1)->checkState(0), Qt::Unchecked);
  }

  void executeRefusesExtraOperationsWithoutTheirParameters_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("message");
    QTest::newRow("forward without recipients") << 0 << sid::kNoForwardTo;
    QTest::newRow("delete needs nothing") << 3 << 0;
  }
  void executeRefusesExtraOperationsWithoutTheirParameters() {
    QFETCH(int, row);
    QFETCH(int, message);
    Rig rig;
    auto d = rig.open(0);
    tick_extra(d.get(), row, true);
    QTest::keyClick(d.get(), Qt::Key_Escape);
    if (message == 0) {
      QVERIFY(!d->isVisible());
      QVERIFY(rig.stores.boxes.shown.empty());
      QCOMPARE(int(rig.mails[0]->extra().operations), int(ExtraOperations::kDelete));
      return;
    }
    QVERIFY(d->isVisible());
    QVERIFY(rig.stores.boxes.only(MessageKind::input_error, message));
    // Nor may another mail be chosen, by mouse or by keyboard.
    click_row(d.get(), 1);
    QTest::keyClick(part<QTableWidget>(d.get(), "mailList"), Qt::Key_Down);
    QCOMPARE(part<QTableWidget>(d.get(), "mailList")->currentRow(), 0);
    QCOMPARE(rig.stores.boxes.shown.size(), size_t(3));
  }

  void forwardLinkOpensItsEditorAndTheDescriptionFollows() {
    Rig rig;
    auto d = rig.open(0);
    tick_extra(d.get(), 0, true);
    tick_extra(d.get(), 3, true);
    auto* view = part<QTextBrowser>(d.get(), "extraDescription");
    QCOMPARE(view->toPlainText(), text(sid::kForwardAction) + QStringLiteral("\n和 ") + text(sid::kDeleteOnServer) + QStringLiteral("\n"));
    QVERIFY(view->toHtml().contains(QStringLiteral("href=\"#6\"")));  // the link after "转发给"
    emit view->anchorClicked(QUrl(QStringLiteral("#6")));
    QCOMPARE(rig.editors.opened, std::vector<int>{ExtraOperations::kForward});
    QVERIFY(view->toPlainText().startsWith(QStringLiteral("转发给a@x.test和b@x.test")));
    click_row(d.get(), 1);  // now allowed
    QCOMPARE(part<QTableWidget>(d.get(), "mailList")->currentRow(), 1);
    QVERIFY(view->toPlainText().isEmpty());
    QCOMPARE(rig.mails[0]->extra().forward.to, std::string("a@x.test;b@x.test;"));
  }

  void viewDownloadsAHeaderOnlyMailOnce() {
    Rig rig;
    rig.downloads = {{DownloadResult::Outcome::error, ""},
                     {DownloadResult::Outcome::downloaded, "From: s1@x.test\r\n\r\nbody\r\n"}};
    auto d = rig.open(0);
    auto* view = part<QToolButton>(d.get(), "viewMail");
    QVERIFY(view->isEnabled());
    QTest::mouseClick(view, Qt::LeftButton);
    QVERIFY(rig.stores.boxes.only(MessageKind::input_error, sid::kDownloadError));
    QVERIFY(!rig.mails[0]->summary().full_text);
    QTest::mouseClick(view, Qt::LeftButton);
    QVERIFY(rig.mails[0]->summary().full_text);
    QCOMPARE(part<QTableWidget>(d.get(), "mailList")->item(0, 0)->data(kImageRole).toInt(), 1);
    QTest::mouseClick(view, Qt::LeftButton);  // held now: no third download
    QCOMPARE(rig.requested.size(), size_t(2));
    QCOMPARE(rig.requested[0].uid, std::string("uid1"));
    QCOMPARE(rig.requested[0].account.server, std::string("pop.example.com"));
  }

  // A long sender is shown whole (its column as wide as the text) and in
  // its tooltip.
  void senderAndRecipientColumnsFitTheirTexts() {
    Rig rig;
    const std::string sender = "Zhang Wei <zhang.wei@example.test>";
    MailSummary summary;
    summary.uid = "long";
    summary.mail_text = "From: " + sender + "\r\nTo: orders@example-company.test\r\nSubject: s\r\n";
    MailProcessor mail(std::move(summary), *rig.account);
    mail.add_rule(rig.asking);
    rig.list = {&mail};
    auto d = rig.open(0);
    auto* list = part<QTableWidget>(d.get(), "mailList");
    QCOMPARE(list->item(0, 1)->toolTip(), QString::fromStdString(sender));
    QVERIFY(list->columnWidth(1) >= list->fontMetrics().horizontalAdvance(QString::fromStdString(sender)));
    QVERIFY(list->columnWidth(2) >= list->fontMetrics().horizontalAdvance(QStringLiteral("orders@example-company.test")));
  }

  void sizeTextScalesAndAlignsTheNumber_data() {
    QTest::addColumn<uint>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("bytes") << 500u << QStringLiteral("500 B");
    QTest::newRow("1024 is still bytes") << 1024u << QStringLiteral("1024 B");
    QTest::newRow("1536 rounds to 2 KB") << 1536u << QStringLiteral("2 KB");
    QTest::newRow("1 MB is still KB") << 1048576u << QStringLiteral("1024 KB");
    QTest::newRow("3 MB") << 3u * 1048576u << QStringLiteral("3.00 MB");
    QTest::newRow("largest") << 0xffffffffu << QStringLiteral("4096.00 MB");
  }
  void sizeTextScalesAndAlignsTheNumber() {
    QFETCH(uint, bytes);
    QFETCH(QString, shown);
    QCOMPARE(mail_size_text(bytes), shown);
  }
};

QTEST_MAIN(ConfirmMailsDialogTest)
#include "confirm_mails_dialog_test.moc"
