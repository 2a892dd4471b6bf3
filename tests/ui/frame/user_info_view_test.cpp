// The information view: columns and size texts, the account filter, tab
// switching and refilling, month navigation, rows that arrive from a worker
// thread, and deleting local mails.
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <ctime>
#include <thread>

#include "base/file_io.h"
#include "base/local_time.h"
#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "ui/frame/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/frame/user_info_view.h"
#include "ui/view_icons.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

std::time_t local_time(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// The monthly stores over a fresh directory, showing January 2003.
struct Months {
  Stores s;
  FixedClock clock{local_time(2003, 1, 15)};
  OperationLog log{s.dir, clock};
  LocalMailIndex local{s.dir, clock};

  Months() {
    log.load_current_month();
    local.load_current_month();
  }
  // A saved mail whose file exists under the program directory.
  void save_mail(const std::string& account, const std::string& subject, bool attachment = false,
                 uint32_t size = 100) {
    std::string path = (s.temp / (subject + ".eml")).string();
    s.temp.write(subject + ".eml", "mail");
    local.add(attachment, account, "from@example.com", subject, "2003/01/14 10:00:00", size, path);
  }
};

QStringList column(const QTreeWidget* list, int col) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(col);
  return texts;
}

QStringList headers(const QTreeWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->columnCount(); ++i) texts << list->headerItem()->text(i);
  return texts;
}

}  // namespace

class UserInfoViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void sizeTexts_data() {
    QTest::addColumn<uint>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << 0u << "0.00 B";
    QTest::newRow("exactly 1024 stays bytes") << 1024u << "1024.00 B";
    QTest::newRow("just above 1024") << 1025u << "1.00 KB";
    QTest::newRow("1536") << 1536u << "1.50 KB";
    QTest::newRow("exactly 1 MB stays KB") << 1048576u << "1024.00 KB";
    QTest::newRow("3 MB") << 3145728u << "3.00 MB";
    QTest::newRow("largest") << 4294967295u << "4096.00 MB";
  }
  void sizeTexts() {
    QFETCH(uint, bytes);
    QFETCH(QString, shown);
    QCOMPARE(format_mail_size(bytes), shown);
  }

  void listsShowTheirColumnsAndRecordFields() {
    Months m;
    m.save_mail("a@example.com", "with", true, 1536);
    const std::string operation = to_gb(QStringLiteral("把邮件备份到/home/zhang/邮件备份/客户来信/2003年一月"));
    m.log.write("a@example.com", "from@example.com", "to@example.com", "subject", operation, false);
    CUserInfoView view(m.log, m.local);
    QCOMPARE(headers(view.local_mail_list()),
             (QStringList{"", "发件人", "主题", "邮件日期", "接收日期", "大小", "邮件路径"}));
    QCOMPARE(headers(view.log_list()), (QStringList{"邮箱", "时间", "发件人", "收件人", "主题", "操作", "成功"}));

    QTreeWidgetItem* mail = view.local_mail_list()->topLevelItem(0);
    QCOMPARE(mail->data(0, kImageRole).toInt(), 1);
    QCOMPARE(mail->text(2), QString("with"));
    QCOMPARE(mail->text(4), QString("2003/01/15 12:00:00"));
    QCOMPARE(mail->text(5), QString("1.50 KB"));

    view.select_tab(CUserInfoView::kLogTab);
    QVERIFY(view.log_list()->isVisibleTo(&view));
    QVERIFY(!view.local_mail_list()->isVisibleTo(&view));
    QTreeWidgetItem* entry = view.log_list()->topLevelItem(0);
    QCOMPARE(entry->text(0), QString("a@example.com"));
    QCOMPARE(entry->text(5), from_gb(operation));
    QCOMPARE(entry->text(6), QString("否"));
    // Columns as wide as their texts, the last one stretching; a text cut
    // all the same is whole in its tooltip.
    QTreeWidget* log = view.log_list();
    QCOMPARE(entry->toolTip(5), entry->text(5));
    QVERIFY(log->columnWidth(5) >= log->fontMetrics().horizontalAdvance(entry->text(5)));
    QVERIFY(log->columnWidth(0) < log->columnWidth(5));
    QVERIFY(log->header()->stretchLastSection());
  }

  void filterShowsOneAccountExactlyOrEveryAccount() {
    Months m;
    m.save_mail("a@example.com", "a1");
    m.save_mail("b@example.com", "b1");
    m.save_mail("A@example.com", "A1");  // another letter case is another account here
    m.save_mail("a@example.com", "a2");
    auto a = m.s.add_account("a@example.com");
    CUserInfoView view(m.log, m.local);
    QCOMPARE(column(view.local_mail_list(), 2), (QStringList{"a1", "b1", "A1", "a2"}));
    view.show_account(a.get());
    QCOMPARE(column(view.local_mail_list(), 2), (QStringList{"a1", "a2"}));
    view.show_account(nullptr);
    QCOMPARE(view.local_mail_list()->topLevelItemCount(), 4);
  }

  void switchingTabsKeepsFilledListsAndANewSelectionRefills() {
    Months m;
    m.save_mail("a@example.com", "a1");
    m.log.write("a@example.com", "", "", "s", "op", true);
    CUserInfoView view(m.log, m.local);
    view.local_mail_list()->topLevelItem(0)->setSelected(true);
    view.select_tab(CUserInfoView::kLogTab);
    view.log_list()->topLevelItem(0)->setSelected(true);
    view.findChild<QTabBar*>("tabs")->setCurrentIndex(CUserInfoView::kLocalMailTab);
    QCOMPARE(view.current_tab(), int(CUserInfoView::kLocalMailTab));
    view.select_tab(CUserInfoView::kLogTab);
    // A refill would have dropped the selections.
    QVERIFY(view.log_list()->topLevelItem(0)->isSelected());
    QVERIFY(view.local_mail_list()->topLevelItem(0)->isSelected());

    view.show_account(nullptr);
    QVERIFY(!view.log_list()->topLevelItem(0)->isSelected());
    view.select_tab(CUserInfoView::kLocalMailTab);
    QVERIFY(!view.local_mail_list()->topLevelItem(0)->isSelected());
  }

  void monthArrowsLoadTheNeighbouringMonths() {
    Months m;
    LogRecord december;
    december.account = "a@example.com";
    december.operation = "in december";
    m.log.append(december, 2002, 12);
    LocalMailRecord mail;
    mail.account = "a@example.com";
    mail.subject = "december mail";
    m.local.append(mail, 2002, 12);
    m.save_mail("a@example.com", "january mail");

    CUserInfoView view(m.log, m.local);
    auto* label = view.findChild<QLabel*>("monthLabel");
    auto* arrows = view.findChild<QScrollBar*>("monthArrows");
    QCOMPARE(label->text(), QString("2003/01"));
    QCOMPARE(column(view.local_mail_list(), 2), QStringList{"january mail"});

    arrows->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(label->text(), QString("2002/12"));
    QCOMPARE(m.log.shown_month(), std::make_pair(2002, 12));
    QCOMPARE(m.local.shown_month(), std::make_pair(2002, 12));
    QCOMPARE(column(view.local_mail_list(), 2), QStringList{"december mail"});
    view.select_tab(CUserInfoView::kLogTab);
    QCOMPARE(column(view.log_list(), 5), QStringList{"in december"});

    arrows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(label->text(), QString("2003/01"));
    QCOMPARE(view.log_list()->topLevelItemCount(), 0);
    for (int i = 0; i < 11; ++i) view.next_month();
    QCOMPARE(label->text(), QString("2003/12"));
    view.next_month();
    QCOMPARE(label->text(), QString("2004/01"));
    QCOMPARE(m.local.shown_month(), std::make_pair(2004, 1));
  }

  void rowsWrittenOnAWorkerThreadArriveOnTheUiThread() {
    Months m;
    auto a = m.s.add_account("a@example.com");
    CUserInfoView view(m.log, m.local);
    view.select_tab(CUserInfoView::kLogTab);
    view.show_account(a.get());
    std::thread worker([&] {
      m.log.write("a@example.com", "f", "t", "first", "op", true);
      m.log.write("b@example.com", "f", "t", "filtered out", "op", true);
      m.log.write("a@example.com", "f", "t", "second", "op", true);
    });
    worker.join();
    // The worker only queued the hand-over; the rows are made here.
    QCOMPARE(view.log_list()->topLevelItemCount(), 0);
    QTRY_COMPARE(view.log_list()->topLevelItemCount(), 2);
    QCOMPARE(column(view.log_list(), 4), (QStringList{"first", "second"}));
  }

  void aRowQueuedBeforeARefillIsNotShownTwice() {
    Months m;
    CUserInfoView view(m.log, m.local);
    std::thread worker([&] { m.save_mail("a@example.com", "once"); });
    worker.join();
    // The refill reads the record before the queued hand-over runs.
    view.show_account(nullptr);
    QCOMPARE(view.local_mail_list()->topLevelItemCount(), 1);
    QCoreApplication::sendPostedEvents();  // the queued hand-over, if any
    QCOMPARE(view.local_mail_list()->topLevelItemCount(), 1);
  }

  void aFilledListThatIsNotShownStillTakesNewRows() {
    Months m;
    CUserInfoView view(m.log, m.local);
    view.select_tab(CUserInfoView::kLogTab);
    view.select_tab(CUserInfoView::kLocalMailTab);
    std::thread worker([&] { m.log.write("a@example.com", "", "", "while hidden", "op", true); });
    worker.join();
    QCoreApplication::sendPostedEvents();  // the queued hand-over, if any
    view.select_tab(CUserInfoView::kLogTab);
    QCOMPARE(column(view.log_list(), 4), QStringList{"while hidden"});
  }

  void deletingSelectedMailsRemovesFilesRecordsAndRows() {
    Months m;
    for (const char* subject : {"m0", "m1", "m2", "m3"}) m.save_mail("a@example.com", subject);
    std::filesystem::remove(m.s.temp / "m2.eml");  // already gone: the record goes all the same
    CUserInfoView view(m.log, m.local);
    QTreeWidget* list = view.local_mail_list();
    for (int row : {0, 2, 3}) list->topLevelItem(row)->setSelected(true);
    std::unique_ptr<QMenu> menu(view.local_mail_menu());
    QCOMPARE(menu_texts(menu.get()), QStringList{"删除邮件"});
    QCOMPARE(menu->actions().first()->data().toInt(), cmd::kDeleteMail);
    menu->actions().first()->trigger();

    QCOMPARE(column(list, 2), QStringList{"m1"});
    QCOMPARE(m.local.count(), 1u);
    QCOMPARE(m.local.at(0)->subject, std::string("m1"));
    QVERIFY(std::filesystem::exists(m.s.temp / "m1.eml"));
    for (const char* gone : {"m0.eml", "m3.eml"}) QVERIFY(!std::filesystem::exists(m.s.temp / gone));
    QCOMPARE(read_file(m.local.month_file(2003, 1))->size(), LocalMailRecord::kSize);
  }

  void keyboardStepsMonthsAndDeletesSelectedMails() {
    Months m;
    for (const char* subject : {"m0", "m1", "m2"}) m.save_mail("a@example.com", subject);
    CUserInfoView view(m.log, m.local);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    auto* label = view.findChild<QLabel*>("monthLabel");
    auto* arrows = view.findChild<QScrollBar*>("monthArrows");
    arrows->setFocus(Qt::TabFocusReason);
    QVERIFY(arrows->hasFocus());
    QTest::keyClick(arrows, Qt::Key_Left);
    QCOMPARE(label->text(), QString("2002/12"));
    QTest::keyClick(arrows, Qt::Key_Right);
    QCOMPARE(label->text(), QString("2003/01"));

    QTreeWidget* list = view.local_mail_list();
    list->setFocus();
    for (int row : {0, 2}) list->topLevelItem(row)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(column(list, 2), QStringList{"m1"});
    QCOMPARE(m.local.count(), 1u);
  }

  void oneSelectedMailOffersViewReplyForwardAndDoubleClickViews() {
    Months m;
    for (const char* subject : {"m0", "m1"}) m.save_mail("a@example.com", subject);
    CUserInfoView view(m.log, m.local);
    QList<std::pair<int, QString>> ran;
    view.set_saved_mail_handler([&](int command, const LocalMailRecord& record) {
      ran << std::pair{command, QString::fromStdString(record.subject)};
    });
    QTreeWidget* list = view.local_mail_list();
    list->topLevelItem(1)->setSelected(true);
    std::unique_ptr<QMenu> menu(view.local_mail_menu());
    QCOMPARE(menu_texts(menu.get()), (QStringList{"查看邮件", "回复邮件", "转发邮件", "删除邮件"}));
    for (QAction* a : menu->actions().mid(0, 3)) a->trigger();
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QCOMPARE(ran, (QList<std::pair<int, QString>>{
                      {cmd::kViewMail, "m1"}, {cmd::kReplyMail, "m1"}, {cmd::kForwardMail, "m1"}, {cmd::kViewMail, "m0"}}));
    list->topLevelItem(1)->setSelected(true);
    std::unique_ptr<QMenu> two(view.local_mail_menu());
    QCOMPARE(menu_texts(two.get()), QStringList{"删除邮件"});
  }

  void deletingUnderAFilterRemovesTheRightRecords() {
    Months m;
    m.save_mail("a@example.com", "a0");
    m.save_mail("b@example.com", "b1");
    m.save_mail("a@example.com", "a2");
    m.save_mail("b@example.com", "b3");
    auto a = m.s.add_account("a@example.com");
    CUserInfoView view(m.log, m.local);
    view.show_account(a.get());
    view.local_mail_list()->topLevelItem(1)->setSelected(true);  // a2
    view.delete_selected_mails();
    view.show_account(nullptr);
    QCOMPARE(column(view.local_mail_list(), 2), (QStringList{"a0", "b1", "b3"}));
    // Then a mail added afterwards still shows once, after the others.
    m.save_mail("b@example.com", "b4");
    QTRY_COMPARE(view.local_mail_list()->topLevelItemCount(), 4);
    QCOMPARE(column(view.local_mail_list(), 2).last(), QString("b4"));
  }
};

QTEST_MAIN(UserInfoViewTest)
#include "user_info_view_test.moc"
