// The parameter dialogs of a rule: word-list and recipient additions and
// their refusals, the number dialog's arrows, the reply dialog's checks in
// order, the pattern pop-up's length check and the address-book list.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "res/string_ids.h"
#include "stores/address_book.h"
#include "ui/gb_qstring.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/number_dialog.h"
#include "ui/rules/pattern_dialog.h"
#include "ui/rules/pattern_popup.h"
#include "ui/rules/multiline_text.h"
#include "ui/rules/reply_dialog.h"
#include "ui/rules/rule_editor_dialog.h"
#include "ui/settings/recipient_picker_dialog.h"
#include "ui/rules/word_list_dialog.h"
#include "ui/rules/word_list_panel.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

QStringList lines(const QDialog& d) {
  QStringList texts;
  auto* list = d.findChild<QListWidget*>("description");
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

void add(QDialog& d, const QString& word) {
  d.findChild<QLineEdit*>("input")->setText(word);
  d.findChild<QPushButton*>("add")->click();
}

}  // namespace

class RuleDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void entriesAreRefusedInTheDialogsOrder() {
    const std::string nearly_full = std::string(1018, 'x') + ";";  // 1019 bytes
    struct Case {
      const char* name;
      std::string list;
      QString input;
      bool address;
      bool added;
      QString message;
    };
    const std::vector<Case> cases = {
        {"empty input", "", "", false, false, {}},
        {"separator", "", "a;b", false, false, QStringLiteral("';'为保留分割符不可以在添加的字符串中")},
        {"duplicate", "a;b;", "b", false, false, text(sid::kWordExists)},
        {"prefix of a word is new", "ab;", "a", false, true, {}},
        {"two-byte character fits", nearly_full, QStringLiteral("中"), false, true, {}},
        {"four bytes and ';' do not", nearly_full, QStringLiteral("中文"), false, false, text(sid::kListFull)},
        {"address without dot", "", "a@b", true, false, text(sid::kNotAnAddress)},
        {"dot only before the at", "", "a.b@c", true, false, text(sid::kNotAnAddress)},
        {"address", "", "a.b@c.cn", true, true, {}},
    };
    for (const Case& c : cases) {
      std::string list = c.list;
      EntryAdd result = add_entry(list, c.input, c.address);
      QVERIFY2(result.added == c.added, c.name);
      QCOMPARE(result.message, c.message);
      QCOMPARE(list.size(), c.list.size() + (c.added ? gb_size(c.input) + 1 : 0));
      QVERIFY2(list.size() <= 1023, c.name);
    }
  }

  void wordListDialogShowsAddsAndRemoves() {
    RecordingBoxes boxes;
    WordListDialog d(ConditionKind::subject_words, "a;", true, true, boxes);
    QCOMPARE(lines(d), (QStringList{QStringLiteral("若“主题”行中包含"), "\"a\""}));
    add(d, QStringLiteral("发票"));
    add(d, "a");
    QVERIFY(boxes.only(MessageKind::input_error, sid::kWordExists));
    QCOMPARE(d.findChild<QLineEdit*>("input")->selectedText(), QString("a"));
    d.findChild<QRadioButton*>("notContains")->setChecked(true);
    d.findChild<QRadioButton*>("anyWord")->setChecked(true);
    QCOMPARE(lines(d), (QStringList{QStringLiteral("若“主题”行中不包含"), "\"a\"", QStringLiteral("或 \"发票\"")}));
    // The heading is no word; removing the first word selects the line now there.
    auto* list = d.findChild<QListWidget*>("description");
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    d.findChild<QPushButton*>("remove")->click();
    QCOMPARE(lines(d), (QStringList{QStringLiteral("若“主题”行中不包含"), QStringLiteral("\"发票\"")}));
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(d.list(), to_gb(QStringLiteral("发票;")));
    QVERIFY(!d.contains());
    QVERIFY(!d.all_words());
  }

  void enterAddsWhileTheInputHasTheFocus() {
    RecordingBoxes boxes;
    WordListDialog d(ConditionKind::sender_words, "", true, true, boxes);
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    auto* input = d.findChild<QLineEdit*>("input");
    input->setFocus();
    QTest::keyClicks(input, "x");
    QTest::keyClick(input, Qt::Key_Return);
    QVERIFY(d.isVisible());
    QCOMPARE(d.list(), std::string("x;"));
    d.findChild<QListWidget*>("description")->setFocus();
    QTest::keyClick(d.findChild<QListWidget*>("description"), Qt::Key_Return);
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }

  void numberArrowsStopAtZero() {
    RecordingBoxes boxes;
    for (auto use : {NumberDialog::Use::hours, NumberDialog::Use::size, NumberDialog::Use::seconds}) {
      NumberDialog d(use, 1, false, boxes);
      auto* number = d.findChild<QLineEdit*>("number");
      auto* down = d.findChild<QToolButton*>("down");
      down->click();
      down->click();
      QCOMPARE(number->text(), QString("0"));
      QCOMPARE(number->selectedText(), QString("0"));
      d.findChild<QToolButton*>("up")->click();
      QCOMPARE(number->text(), QString("1"));
      // Negative numbers cannot be typed; an empty field is no number.
      number->clear();
      QTest::keyClicks(number, "-5");
      QCOMPARE(number->text(), QString("5"));
      number->clear();
      d.accept();
      QVERIFY(boxes.only(MessageKind::input_error, sid::kNotANumber));
      boxes.shown.clear();
      QCOMPARE(d.findChild<QRadioButton*>("greater")->isHidden(), use == NumberDialog::Use::seconds);
    }
  }

  void forwardTakesAddressesAndTheBook() {
    RecordingBoxes boxes;
    pw::test::TempDir temp;
    AddressBook book{ProgramDir(temp.path())};
    book.add_contact({to_gb(QStringLiteral("财务")), "caiwu@example.cn", "", 0});
    book.add_contact({"", "boss@example.cn", "", 0});
    ForwardDialog d({"boss@example.cn;", false, "", "", ""}, boxes,
                    [&](QWidget* parent) { return pick_forward_recipients(parent, book); });
    QVERIFY(!d.findChild<QLineEdit*>("shownFrom")->isEnabled());
    d.findChild<QRadioButton*>("changeHeaders")->setChecked(true);
    QVERIFY(d.findChild<QLineEdit*>("shownFrom")->isEnabled());
    add(d, "nobody");
    QVERIFY(boxes.only(MessageKind::input_error, sid::kNotAnAddress));
    {
      OnModal<CRecipientPickerDialog> picker([](CRecipientPickerDialog* p) {
        auto* people = p->findChild<QTreeWidget*>("contacts");
        QCOMPARE(people->topLevelItem(0)->text(1), QStringLiteral("财务"));
        people->topLevelItem(0)->setCheckState(0, Qt::Checked);
        people->topLevelItem(1)->setCheckState(0, Qt::Checked);
        p->accept();
      });
      d.findChild<QPushButton*>("addressBook")->click();
      QCOMPARE(picker.seen(), 1);
    }
    QCOMPARE(lines(d), (QStringList{QStringLiteral("转发给"), "\"boss@example.cn\"",
                                    QStringLiteral("和 \"caiwu@example.cn\"")}));
    d.findChild<QLineEdit*>("shownTo")->setText(QStringLiteral("全体"));
    d.accept();
    QCOMPARE(d.settings(), (ForwardSettings{"boss@example.cn;caiwu@example.cn;", true, "", to_gb(QStringLiteral("全体")), ""}));
  }

  void forwardWithoutRecipientsSaysSoAndCloses() {
    RecordingBoxes boxes;
    ForwardDialog d({}, boxes, nullptr);
    d.accept();
    QVERIFY(boxes.only(MessageKind::input_error, sid::kNoRecipient));
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }

  void replyChecksItsPatternBeforeItsTemplates() {
    struct Case {
      const char* name;
      QString pattern, subject, text;
      int message;  // 0: accepted
      int level;
    };
    const std::vector<Case> cases = {
        {"bad pattern first", "*<max=1 min=2>", "#x#", "#y#", sid::kBadPattern, 0},
        {"text", "*<#2>", "#S#", "#3#", sid::kBadReplyText, 0},
        {"capture", "*<#2>", "#S#", "#2#", 0, 2},
    };
    for (const Case& c : cases) {
      RecordingBoxes boxes;
      ScriptedFiles files;
      ReplyDialog d({}, to_gb(c.pattern), boxes, files);
      d.findChild<QLineEdit*>("subject")->setText(c.subject);
      d.findChild<QPlainTextEdit*>("text")->setPlainText(c.text);
      d.accept();
      if (c.message) {
        QVERIFY2(boxes.only(MessageKind::input_error, c.message), c.name);
        QVERIFY2(d.result() != QDialog::Accepted, c.name);
      } else {
        QVERIFY2(boxes.shown.empty(), c.name);
        QCOMPARE(int(d.level()), c.level);
      }
    }
  }

  void replyWithoutPatternHidesItsButtonAndKeepsAttachmentsUnique() {
    RecordingBoxes boxes;
    ScriptedFiles files;
    ReplyDialog d({false, "", "", "", {"/a.txt"}}, std::nullopt, boxes, files);
    QVERIFY(d.findChild<QPushButton*>("patternButton")->isHidden());
    files.open_names = {"/a.txt", QStringLiteral("/附件.doc")};
    d.findChild<QPushButton*>("addAttachment")->click();
    QCOMPARE(files.filters.back(), QString(kAllFilesFilter));
    d.findChild<QRadioButton*>("fromFile")->setChecked(true);
    QVERIFY(!d.findChild<QTreeWidget*>("attachments")->isEnabled());
    QVERIFY(d.findChild<QLineEdit*>("replyFile")->isEnabled());
    files.open_name = "/reply.eml";
    d.findChild<QPushButton*>("browseFile")->click();
    QCOMPARE(files.filters.back(), QString(kMailFileFilter));
    d.findChild<QLineEdit*>("subject")->setText("#1#");  // no pattern: a capture is refused
    d.accept();
    QVERIFY(boxes.only(MessageKind::input_error, sid::kBadReplySubject));
    d.findChild<QLineEdit*>("subject")->clear();
    d.accept();
    QCOMPARE(d.settings(), (ReplySettings{true, "/reply.eml", "", "", {"/a.txt", to_gb(QStringLiteral("/附件.doc"))}}));
  }

  void longPatternKeepsThePopupOpen() {
    RecordingBoxes boxes;
    ScriptedFiles files;
    ReplyDialog d({}, std::string("a"), boxes, files);
    d.show();
    d.findChild<QPushButton*>("patternButton")->click();
    auto* popup = d.findChild<PatternPopup*>("PatternPopup");
    QVERIFY(popup && popup->isVisible());
    // 1023 Chinese characters and a line end: 2046 + 2 bytes as stored.
    popup->findChild<QPlainTextEdit*>("pattern")->setPlainText(QString(1023, QChar(0x4E2D)) + "\n");
    QVERIFY(!popup->close());
    QVERIFY(boxes.only(MessageKind::input_error, sid::kPatternTooLong));
    d.findChild<QLineEdit*>("subject")->setText("s");
    d.findChild<QPlainTextEdit*>("text")->setPlainText("t");
    d.accept();
    QCOMPARE(boxes.shown.size(), 2u);
    QVERIFY(d.result() != QDialog::Accepted);
    popup->findChild<QPlainTextEdit*>("pattern")->setPlainText("*<#1>");
    QVERIFY(popup->close());
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.body_pattern(), std::string("*<#1>"));
  }

  void fieldsHoldNoMoreThanTheirStoredBytes() {
    RecordingBoxes boxes;
    ScriptedFiles files;
    Stores s;
    RuleEditorDialog editor(Rule{}, nullptr, s.rules, boxes, files, nullptr);
    ReplyDialog reply({}, std::string(), boxes, files);
    ForwardDialog forward({}, boxes, nullptr);
    struct Field {
      QLineEdit* edit;
      int characters;  // two bytes each
    };
    const std::vector<Field> fields = {
        {editor.findChild<QLineEdit*>("name"), 127},        // 255 bytes
        {reply.findChild<QLineEdit*>("subject"), 63},       // 127 bytes
        {reply.findChild<QLineEdit*>("replyFile"), 129},    // 259 bytes
        {forward.findChild<QLineEdit*>("shownTo"), 511},    // 1023 bytes
        {forward.findChild<QLineEdit*>("input"), 511},      // 1022 bytes and ';'
    };
    for (const Field& f : fields) {
      f.edit->setText(QString(600, QChar(0x4E2D)));
      QCOMPARE(f.edit->text().size(), f.characters);
    }
    auto* text = reply.findChild<QPlainTextEdit*>("text");
    text->setPlainText(QString(1000, QChar(0x4E2D)) + QString(100, u'\n'));
    // 2000 bytes and 23 line ends of two bytes; a 24th would pass 2047.
    QCOMPARE(to_gb_lines(text->toPlainText()).size(), 2046u);
  }

  void patternDialogSelectsTheBadWildcardAndLimitsBytes() {
    RecordingBoxes boxes;
    PatternDialog d("", boxes);
    auto* edit = d.findChild<QPlainTextEdit*>("pattern");
    edit->setPlainText(QStringLiteral("中文\n*<min=2x>尾"));
    d.accept();
    QVERIFY(boxes.only(MessageKind::input_error, sid::kBadPattern));
    QCOMPARE(edit->textCursor().selectedText(), QStringLiteral("*<min=2x>"));
    edit->setPlainText(QString(1024, QChar(0x4E2D)));
    QCOMPARE(edit->toPlainText().size(), 1023);
  }
};

QTEST_MAIN(RuleDialogsTest)
#include "rule_dialogs_test.moc"
