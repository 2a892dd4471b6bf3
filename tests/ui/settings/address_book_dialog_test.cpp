// The address book dialogs: the book's lists and buttons, the contact and
// group checks, the recipient picker's result, and the feedback dialog.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "base/local_time.h"
#include "res/string_ids.h"
#include "stores/address_book.h"
#include "ui/gb_qstring.h"
#include "ui/settings/address_book_dialog.h"
#include "ui/settings/contact_dialog.h"
#include "ui/settings/feedback_dialog.h"
#include "ui/settings/group_dialog.h"
#include "ui/settings/recipient_picker_dialog.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

struct Book {
  pw::test::TempDir temp;
  AddressBook book{ProgramDir(temp.path())};
  RecordingBoxes boxes;

  uint32_t person(const char* name, const char* address) { return book.add_contact({name, address, "", 0}); }
  void group(const char* name, std::initializer_list<uint32_t> ids) {
    ContactGroup& g = book.add_group(name);
    for (uint32_t id : ids) (void)book.add_member(g, id);
  }
};

QTreeWidget* list(QDialog& d, const char* name) { return d.findChild<QTreeWidget*>(QString::fromLatin1(name)); }
void click(QDialog& d, const char* name) { d.findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
void select_rows(QTreeWidget* l, std::initializer_list<int> rows) {
  l->clearSelection();
  for (int r : rows) l->topLevelItem(r)->setSelected(true);
}

}  // namespace

class AddressBookDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void pickerListsEveryAddressOnce() {
    struct Case {
      const char* name;
      std::vector<int> groups;    // ticked group rows
      std::vector<int> contacts;  // ticked contact rows
      std::string result;
    };
    const Case cases[] = {
        {"nothing", {}, {}, ""},
        {"a contact directly and through its group", {0}, {0, 2}, "a@x.cn;b@x.cn;c@x.cn;"},
        {"two contacts with one address", {}, {2, 3}, "c@x.cn;"},
        {"groups before people", {1}, {0}, "c@x.cn;a@x.cn;"},
    };
    for (const Case& c : cases) {
      Book b;
      uint32_t a = b.person("A", "a@x.cn");
      uint32_t bb = b.person("B", "b@x.cn");
      uint32_t cc = b.person("C", "c@x.cn");
      b.person("C2", "c@x.cn");
      b.group("one", {a, bb});
      b.group("two", {cc});
      CRecipientPickerDialog picker(b.book);
      for (int r : c.groups) list(picker, "groups")->topLevelItem(r)->setCheckState(0, Qt::Checked);
      for (int r : c.contacts) list(picker, "contacts")->topLevelItem(r)->setCheckState(0, Qt::Checked);
      picker.accept();
      QCOMPARE(picker.result(), c.result);
    }
  }

  void addressOnceComparesWholeEntries() {
    std::string result = "ab@x.cn;";
    add_address_once(result, "b@x.cn");
    add_address_once(result, "ab@x.cn");
    add_address_once(result, "b@x.cn");
    QCOMPARE(result, std::string("ab@x.cn;b@x.cn;"));
  }

  void groupNamesAreUniqueIgnoringCase() {
    Book b;
    b.group("Friends", {});
    for (const char* typed : {"friends", "FRIENDS"}) {
      CGroupDialog d(b.book, b.boxes);
      d.show();
      d.findChild<QLineEdit*>("name")->setText(QString::fromLatin1(typed));
      click(d, "ok");
      QVERIFY(d.isVisible());
      QVERIFY(b.boxes.only(MessageKind::input_error, sid::kGroupExists));
      QCOMPARE(d.findChild<QLineEdit*>("name")->selectedText(), QString::fromLatin1(typed));
      b.boxes.shown.clear();
    }
    CGroupDialog d(b.book, b.boxes);
    d.show();
    d.findChild<QLineEdit*>("name")->setText(QStringLiteral("同事"));
    click(d, "ok");
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.name(), to_gb(QStringLiteral("同事")));
  }

  void contactAddressNeedsAtAndALaterDot() {
    const std::pair<const char*, bool> cases[] = {{"a@b.cn", true},  {"a.b@cn", false}, {"ab.cn", false},
                                                  {"a@bcn", false},  {"", false},       {"张@例子.中国", true}};
    for (const auto& [address, ok] : cases) {
      Book b;
      CContactDialog d(b.boxes, nullptr);
      d.show();
      d.findChild<QLineEdit*>("name")->setText(QStringLiteral("某人"));
      d.findChild<QLineEdit*>("address")->setText(QString::fromUtf8(address));
      d.findChild<QPlainTextEdit*>("description")->setPlainText(QStringLiteral("第一行\n第二行"));
      click(d, "ok");
      QCOMPARE(d.result() == QDialog::Accepted, ok);
      if (ok) {
        QCOMPARE(d.contact().address, to_gb(QString::fromUtf8(address)));
        QCOMPARE(d.contact().description, to_gb(QStringLiteral("第一行\n第二行")));
      } else {
        QVERIFY(b.boxes.only(MessageKind::input_error, sid::kNotAnAddress));
      }
    }
  }

  void groupMembershipThroughTheArrows() {
    Book b;
    uint32_t a = b.person("A", "a@x.cn");
    uint32_t c = b.person("C", "c@x.cn");
    b.group("one", {a});
    b.group("two", {});
    CAddressBookDialog d(b.book, b.boxes);
    d.show();
    QCOMPARE(d.current_group(), -1);
    QVERIFY(!d.findChild<QPushButton*>("addToGroup")->isEnabled());

    select_rows(list(d, "groups"), {1});
    QCOMPARE(d.current_group(), 1);
    QVERIFY(d.findChild<QPushButton*>("addToGroup")->isEnabled());
    QCOMPARE(list(d, "members")->topLevelItemCount(), 0);
    // The same contacts twice: one membership.
    select_rows(list(d, "allContacts"), {0, 1});
    click(d, "addToGroup");
    click(d, "addToGroup");
    QCOMPARE(b.book.find_group("two")->members, (std::vector<uint32_t>{a, c}));
    QCOMPARE(list(d, "members")->topLevelItemCount(), 2);

    select_rows(list(d, "members"), {0});
    click(d, "removeFromGroup");
    QCOMPARE(b.book.find_group("two")->members, std::vector<uint32_t>{c});

    // Another group shows its own members.
    select_rows(list(d, "groups"), {0});
    QCOMPARE(list(d, "members")->topLevelItemCount(), 1);
    QCOMPARE(list(d, "members")->topLevelItem(0)->text(1), QStringLiteral("a@x.cn"));
  }

  void deletingGroupsAndContacts() {
    Book b;
    uint32_t a = b.person("A", "a@x.cn");
    uint32_t c = b.person("C", "c@x.cn");
    b.group("one", {a, c});
    b.group("two", {a});
    CAddressBookDialog d(b.book, b.boxes);
    d.show();
    // "-" is there for a selection only.
    QVERIFY(!d.findChild<QPushButton*>("deleteGroup")->isEnabled());
    QVERIFY(!d.findChild<QPushButton*>("deleteContact")->isEnabled());
    select_rows(list(d, "groups"), {0});
    QVERIFY(d.findChild<QPushButton*>("deleteGroup")->isEnabled());
    // Deleting a contact takes it out of the groups and of the member list.
    select_rows(list(d, "allContacts"), {0});
    click(d, "deleteContact");
    QCOMPARE(b.book.people().size(), size_t{1});
    QCOMPARE(b.book.find_group("one")->members, std::vector<uint32_t>{c});
    QVERIFY(b.book.find_group("two")->members.empty());
    QCOMPARE(list(d, "members")->topLevelItemCount(), 1);
    // Deleting a group keeps its members in the book.
    select_rows(list(d, "groups"), {0});
    click(d, "deleteGroup");
    QCOMPARE(b.book.groups().size(), size_t{1});
    QCOMPARE(b.book.people().size(), size_t{1});
    QCOMPARE(list(d, "members")->topLevelItemCount(), 0);
    QCOMPARE(d.current_group(), -1);
    QVERIFY(!d.findChild<QPushButton*>("removeFromGroup")->isEnabled());
    QVERIFY(!d.findChild<QPushButton*>("deleteGroup")->isEnabled());
  }

  void addingThroughTheContactAndGroupDialogs() {
    Book b;
    CAddressBookDialog d(b.book, b.boxes);
    d.show();
    {
      OnModal<CContactDialog> contact([](CContactDialog* c) {
        c->findChild<QLineEdit*>("address")->setText(QStringLiteral("new@x.cn"));
        c->accept();
      });
      click(d, "addContact");
      QCOMPARE(contact.seen(), 1);
    }
    {
      OnModal<CGroupDialog> group([](CGroupDialog* g) {
        g->findChild<QLineEdit*>("name")->setText(QStringLiteral("Team"));
        g->accept();
      });
      click(d, "addGroup");
      QCOMPARE(group.seen(), 1);
    }
    QCOMPARE(list(d, "allContacts")->topLevelItem(0)->text(1), QStringLiteral("new@x.cn"));
    QCOMPARE(list(d, "groups")->topLevelItem(0)->text(0), QStringLiteral("Team"));
    QCOMPARE(b.book.people().at(0).address, std::string("new@x.cn"));
    QVERIFY(b.book.find_group("team"));
  }

  void feedbackNeedsAMessage() {
    pw::test::TempDir temp;
    MailboxList accounts{ProgramDir(temp.path())};
    FixedClock clock{0};
    RecordingBoxes boxes;
    CFeedbackDialog d(accounts, clock, boxes);
    d.show();
    click(d, "send");
    QVERIFY(boxes.only(MessageKind::input_error, sid::kNoFeedback));
    QVERIFY(!d.sending());
    QCOMPARE(d.focusWidget()->objectName(), QStringLiteral("message"));
  }

  void feedbackThatReachesNobodySaysSoAndCloses() {
    if (qgetenv("PW_IN_NETNS") != "1") QSKIP("needs the tests' network namespace");
    pw::test::TempDir temp;
    MailboxList accounts{ProgramDir(temp.path())};
    MailboxRecord record;
    record.address = "me@example.com";
    (void)accounts.create(record, true);
    FixedClock clock{0};
    RecordingBoxes boxes;
    FeedbackAddresses nowhere{{"a@one.invalid", "b@two.invalid", "c@three.invalid"}, "s@p.invalid", "r@p.invalid"};
    CFeedbackDialog d(accounts, clock, boxes, nowhere);
    d.show();
    QSignalSpy sent(&d, &CFeedbackDialog::sent);
    d.findChild<QPlainTextEdit*>("message")->setPlainText(QStringLiteral("好用"));
    click(d, "send");
    QVERIFY(d.sending());
    QVERIFY(!d.findChild<QPushButton*>("cancel")->isEnabled());
    d.reject();  // refused while sending
    QVERIFY(d.isVisible());
    QVERIFY(sent.wait(20000));
    QCOMPARE(sent.at(0).at(0).toBool(), false);
    QVERIFY(boxes.only(MessageKind::input_error, sid::kFeedbackNotSent));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.findChild<QProgressBar*>("progress")->value(), 27);
    // From the account, to the placeholder: one account only.
    QVERIFY(d.mail().find("From: me@example.com\r\n") != std::string::npos);
    QVERIFY(d.mail().find("To: r@p.invalid\r\n") != std::string::npos);
  }
};

QTEST_MAIN(AddressBookDialogTest)
#include "address_book_dialog_test.moc"
