// The rule editor: its checks in order with the dialog each failure opens,
// the description's links and their rebuilding, templates that use captures,
// the commands that open it, and a rule made in it and kept in "Ruler".
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <functional>

#include "base/file_io.h"
#include "app/frame_fixture.h"
#include "res/string_ids.h"
#include "rules/rule_description.h"
#include "ui/frame/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/rules/description_browser.h"
#include "ui/rules/multiline_text.h"
#include "ui/rules/pattern_popup.h"
#include "ui/rules/rule_editor_dialog.h"
#include "ui/frame/ruler_list_view.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

constexpr uint32_t kSender = bit(ConditionKind::sender_words), kRecipientOrCopy = bit(ConditionKind::recipient_or_copy_words),
                   kAge = bit(ConditionKind::age_hours), kSize = bit(ConditionKind::size),
                   kPattern = bit(ConditionKind::body_pattern), kNoSubject = bit(ConditionKind::no_subject);
constexpr uint32_t kConfirm = bit(ActionKind::confirm), kForward = bit(ActionKind::forward),
                   kReply = bit(ActionKind::reply), kBackup = bit(ActionKind::backup),
                   kKeyInfo = bit(ActionKind::key_info), kAttachments = bit(ActionKind::attachments),
                   kDelete = bit(ActionKind::delete_on_server);

std::unique_ptr<RuleEditorDialog> editor(Stores& s, Rule rule, const Rule* editing = nullptr) {
  return std::make_unique<RuleEditorDialog>(std::move(rule), editing, s.rules, s.boxes, s.files,
                                            [](QWidget*) { return std::string(); });
}

// Each anchor of the browser with the text it shows.
QList<QPair<QString, QString>> anchors(const QTextBrowser* browser) {
  QList<QPair<QString, QString>> found;
  for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextCharFormat f = it.fragment().charFormat();
      if (f.isAnchor()) found.append({f.anchorHref(), it.fragment().text()});
    }
  }
  return found;
}

struct CheckCase {
  const char* name;
  std::function<void(Rule&)> set;
  int message;
  QString dialog;  // objectName of the dialog that follows, empty for none
};

}  // namespace

class RuleEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void checksRunInOrderAndOpenTheNamedDialog() {
    auto words = [](Rule& r, uint32_t kind) { r.condition_mask |= kind; };
    const std::vector<CheckCase> cases = {
        {"no name", [](Rule& r) { r.name.clear(); r.condition_mask = kSender; }, sid::kNoRuleName, {}},
        {"name of another rule in other case", [](Rule& r) { r.name = "OTHER"; r.condition_mask = kSender; }, sid::kRuleNameTaken, {}},
        {"sender before age", [&](Rule& r) { words(r, kSender | kAge); }, sid::kNoSenderWords, "WordListDialog"},
        {"recipient or copy", [&](Rule& r) { words(r, kRecipientOrCopy); }, sid::kNoRecipientOrCopyWords, "WordListDialog"},
        {"age 0 before size", [](Rule& r) { r.condition_mask = kAge | kSize; }, sid::kBadHours, "NumberDialog"},
        {"negative size", [](Rule& r) { r.condition_mask = kSize; r.size_kb = -1; }, sid::kBadSize, "NumberDialog"},
        {"empty pattern", [](Rule& r) { r.condition_mask = kPattern; }, sid::kNoBodyPattern, "PatternDialog"},
        {"conditions before actions", [](Rule& r) { r.condition_mask = kPattern; r.action_mask = 0; }, sid::kNoBodyPattern,
         "PatternDialog"},
        {"no action", [](Rule& r) { r.action_mask = 0; }, sid::kNoAction, {}},
        {"forward before backup", [](Rule& r) { r.action_mask = kForward | kBackup; }, sid::kNoForwardTo, "ForwardDialog"},
        {"backup before reply", [](Rule& r) { r.action_mask = kBackup | kReply; }, sid::kNoBackupFolder, "folder"},
        {"typed reply without text", [](Rule& r) { r.action_mask = kReply; r.reply.subject = "s"; }, sid::kNoReply,
         "ReplyDialog"},
        {"reply file missing",
         [](Rule& r) { r.action_mask = kReply; r.reply.from_file = true; r.reply.text = "t"; }, sid::kNoReply,
         "ReplyDialog"},
        {"key template before file", [](Rule& r) { r.action_mask = kKeyInfo; }, sid::kNoKeyInfoTemplate, "KeyInfoDialog"},
        {"key file", [](Rule& r) { r.action_mask = kKeyInfo; r.key_info_template = "#S#"; }, sid::kNoKeyInfoFile, "save"},
    };
    for (const CheckCase& c : cases) {
      Stores s;
      s.add_rule("other");
      Rule rule;
      rule.name = "r";
      rule.action_mask = kDelete;
      c.set(rule);
      auto e = editor(s, rule);
      QString opened;
      OnModal<QDialog> modal([&](QDialog* d) {
        opened = d->objectName();
        d->reject();
      });
      e->findChild<QPushButton*>("ok")->click();
      if (!s.files.folder_titles.isEmpty()) opened = "folder";
      if (!s.files.filters.isEmpty()) opened = "save";
      QVERIFY2(s.boxes.only(MessageKind::input_error, c.message), c.name);
      QCOMPARE(opened, c.dialog);
      QVERIFY2(e->result() != QDialog::Accepted, c.name);
    }
  }

  void choicesWithoutParametersPass() {
    Stores s;
    Rule rule;
    rule.name = "r";
    rule.condition_mask = kNoSubject;
    rule.action_mask = kConfirm | kAttachments;  // the countdown and the directory are not checked
    auto e = editor(s, rule);
    e->findChild<QPushButton*>("ok")->click();
    QVERIFY(s.boxes.shown.empty());
    QCOMPARE(e->result(), int(QDialog::Accepted));
    QCOMPARE(e->rule().fetch_need, kFetchWhole | kFetchSize);
  }

  void okAgainAfterTheDialogFixesTheRule() {
    Stores s;
    Rule rule;
    rule.name = "r";
    rule.condition_mask = kAge;
    rule.action_mask = kBackup;
    s.files.folder = "/srv/备份";
    auto e = editor(s, rule);
    OnModal<QDialog> hours([](QDialog* d) {
      d->findChild<QLineEdit*>("number")->setText("12");
      d->accept();
    });
    e->findChild<QPushButton*>("ok")->click();
    QCOMPARE(hours.seen(), 1);
    QCOMPARE(s.boxes.shown.size(), 2u);  // the hours, then the backup directory
    QCOMPARE(s.boxes.shown[1].text, text(sid::kNoBackupFolder));
    QCOMPARE(s.files.folder_titles, QStringList{text(sid::kChooseBackupFolder)});
    QCOMPARE(e->result(), int(QDialog::Accepted));
    QCOMPARE(e->rule().age_hours, 12);
    QCOMPARE(e->rule().backup_dir, to_gb(QStringLiteral("/srv/备份")));
    QCOMPARE(e->rule().fetch_need, kFetchWhole);
  }

  void everyLinkShowsItsBytesAndOpensItsDialog() {
    Stores s;
    Rule rule;
    rule.condition_mask = kSender | kAge | 0x1000 | kPattern;
    rule.word_lists[0] = to_gb(QStringLiteral("张三;b;"));
    rule.body_pattern = "x*<#1>\r\ny";
    rule.action_mask = kConfirm | kForward | kKeyInfo | kDelete;
    auto e = editor(s, rule);
    auto* browser = e->findChild<DescriptionBrowser*>("description");
    const RuleDescription& d = e->description();
    const auto found = anchors(browser);
    QCOMPARE(found.size(), int(d.links.size() + d.joiners.size()));
    for (const auto& [href, shown] : found) {
      const size_t start = href.mid(1).toULongLong();
      DescriptionHit hit = d.hit(start);
      QVERIFY(hit.target != DescriptionHit::Target::none);
      const size_t end = hit.link ? hit.link->end : start + d.joiner_length;
      QCOMPARE(shown, from_gb(std::string_view(d.text).substr(start, end - start)));
    }
    QVERIFY(browser->document()->toHtml().contains("underline"));

    struct Click {
      const char* opens;
      std::function<bool(const DescriptionLink&)> which;
    };
    const std::vector<Click> clicks = {
        {"AndOrDialog", nullptr},
        {"WordListDialog", [](const DescriptionLink& l) { return l.bit == kSender && l.kind == LinkKind::condition; }},
        {"NumberDialog", [](const DescriptionLink& l) { return l.bit == kAge && l.kind == LinkKind::condition; }},
        {"AttachmentDialog", [](const DescriptionLink& l) { return l.bit == 0x1000; }},
        {"PatternDialog", [](const DescriptionLink& l) { return l.bit == kPattern; }},
        {"NumberDialog", [](const DescriptionLink& l) { return l.kind == LinkKind::action && l.bit == kConfirm; }},
        {"ForwardDialog", [](const DescriptionLink& l) { return l.kind == LinkKind::action && l.bit == kForward; }},
        {"KeyInfoDialog", [](const DescriptionLink& l) { return l.bit == kKeyInfo && l.sub_item == 0; }},
        {"DeleteDialog", [](const DescriptionLink& l) { return l.kind == LinkKind::action && l.bit == kDelete; }},
    };
    for (const Click& c : clicks) {
      size_t position = d.joiners.empty() ? 0 : d.joiners[0];
      if (c.which) {
        auto it = std::find_if(d.links.begin(), d.links.end(), c.which);
        QVERIFY(it != d.links.end());
        position = it->start;
      }
      QString opened;
      OnModal<QDialog> modal([&](QDialog* dialog) {
        opened = dialog->objectName();
        dialog->reject();
      });
      emit browser->anchorClicked(QUrl(QStringLiteral("#%1").arg(position)));
      QCOMPARE(opened, QString(c.opens));
    }
    // A real click on the first condition's words.
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.get()));
    QTextCursor on_words(browser->document());
    on_words.setPosition(browser->toPlainText().indexOf(QStringLiteral("张三")) + 1);
    QString clicked;
    OnModal<QDialog> modal([&](QDialog* dialog) {
      clicked = dialog->objectName();
      dialog->accept();  // the description is rebuilt under the click
    });
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(on_words).center());
    QTRY_COMPARE(clicked, QStringLiteral("WordListDialog"));
    // The key-information file link asks for a file to write.
    auto file = std::find_if(d.links.begin(), d.links.end(), [](const auto& l) { return l.sub_item == 1; });
    e->click_description(file->start);
    QCOMPARE(s.files.filters, QStringList{kTextFileFilter});
  }

  void descriptionFollowsTicksAndEachDialog() {
    Stores s;
    auto e = editor(s, Rule{});
    auto* browser = e->findChild<QTextBrowser*>("description");
    QCOMPARE(browser->toPlainText(), QStringLiteral("服务器上有新邮件\n"));
    e->findChild<QTreeWidget*>("conditions")->topLevelItem(0)->setCheckState(0, Qt::Checked);
    e->findChild<QTreeWidget*>("conditions")->topLevelItem(4)->setCheckState(0, Qt::Checked);
    e->findChild<QTreeWidget*>("actions")->topLevelItem(6)->setCheckState(0, Qt::Checked);
    QCOMPARE(e->rule().condition_mask, 0x11u);
    QCOMPARE(e->rule().action_mask, kDelete);
    QCOMPARE(browser->toPlainText(), QStringLiteral("服务器上有新邮件\n若“发件人”行中包含用户\n和 若“主题”行中包含特定的词\n则\n"
                                                    "从服务器上删除(其它操作成功再删除)\n"));

    struct Step {
      RuleParameter parameter;
      std::function<void(QDialog*)> work;
      QString expected_line;
    };
    const std::vector<Step> steps = {
        {{RuleParameter::Target::condition, kSender, 0},
         [](QDialog* d) {
           d->findChild<QLineEdit*>("input")->setText("a");
           d->findChild<QPushButton*>("add")->click();
           d->findChild<QLineEdit*>("input")->setText("李");
           d->findChild<QPushButton*>("add")->click();
           d->findChild<QRadioButton*>("anyWord")->setChecked(true);
           d->accept();
         },
         QStringLiteral("若“发件人”行中包含a或李")},
        {{}, [](QDialog* d) { d->findChild<QRadioButton*>("second")->setChecked(true); d->accept(); },
         QStringLiteral("或 若“主题”行中包含特定的词")},
        {{RuleParameter::Target::action, kDelete, 0},
         [](QDialog* d) { d->findChild<QRadioButton*>("second")->setChecked(true); d->accept(); },
         QStringLiteral("从服务器上删除(任何情况下都删除)")},
    };
    for (const Step& step : steps) {
      OnModal<QDialog> modal(step.work);
      QVERIFY(e->edit_parameter(step.parameter));
      QVERIFY2(browser->toPlainText().split('\n').contains(step.expected_line), qPrintable(browser->toPlainText()));
    }
    QCOMPARE(e->rule().word_lists[0], to_gb(QStringLiteral("a;李;")));
    QVERIFY(!e->rule().all_words(ConditionKind::sender_words));
    QVERIFY(!e->rule().match_all);
    QVERIFY(e->rule().delete_always);
  }

  void captureTemplateTicksTheBodyPattern() {
    Stores s;
    Rule rule;
    rule.action_mask = kKeyInfo;
    auto e = editor(s, rule);
    // First a pattern that fails its check: the pop-up opens at the bad wildcard.
    int tries = 0;
    OnModal<QDialog> modal([&](QDialog* d) {
      d->findChild<QPlainTextEdit*>("template")->setPlainText("#S#-#1#");
      d->findChild<QPushButton*>("patternButton")->click();
      auto* popup = d->findChild<PatternPopup*>("PatternPopup");
      auto* field = popup->findChild<QPlainTextEdit*>("pattern");
      field->setPlainText("ab*<min=5 max=3>c");
      d->findChild<QPushButton*>("ok")->click();
      ++tries;
      QCOMPARE(field->textCursor().selectedText(), QStringLiteral("*<min=5 max=3>"));
      field->setPlainText("ab*<#1>c");
      d->findChild<QPushButton*>("ok")->click();
    });
    QVERIFY(e->edit_parameter({RuleParameter::Target::action, kKeyInfo, 0}));
    QCOMPARE(tries, 1);
    QVERIFY(s.boxes.only(MessageKind::input_error, sid::kBadPattern));
    QCOMPARE(e->rule().body_pattern, std::string("ab*<#1>c"));
    QCOMPARE(e->rule().key_info_template, std::string("#S#-#1#"));
    QCOMPARE(e->rule().condition_mask, kPattern);
    QCOMPARE(e->findChild<QTreeWidget*>("conditions")->topLevelItem(14)->checkState(0), Qt::Checked);
  }

  void fittingToStoredBytesCutsWholeCharacters() {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // 4 bytes, a surrogate pair
    struct Case {
      const char* name;
      QString text;
      size_t max;
      QString fitted;
    };
    const std::vector<Case> cases = {
        {"fits", QStringLiteral("ab中"), 4, QStringLiteral("ab中")},
        {"two-byte character not halved", QStringLiteral("ab中"), 3, QStringLiteral("ab")},
        {"pair kept whole", "a" + emoji + "b", 5, "a" + emoji},
        {"pair left out whole", "a" + emoji, 4, QStringLiteral("a")},
        {"nothing fits", QStringLiteral("中"), 1, QString()},
    };
    for (const Case& c : cases) QVERIFY2(fit_gb(c.text, c.max) == c.fitted, c.name);
  }

  // A paste of the longest text a line edit takes is cut in one pass: the
  // bound is far above what it costs (about a millisecond) and far below the
  // seconds a cut per character took.
  void longPasteIsCutAtOnce() {
    FrameStores s;
    auto e = editor(s, Rule{});
    auto* name = e->findChild<QLineEdit*>("name");
    QPlainTextEdit key_info;
    limit_gb_lines(&key_info, Rule::kKeyInfoTemplateWidth - 1);
    const QString paste(32767, QChar(0x4E2D));
    QElapsedTimer timer;
    timer.start();
    name->setText(paste);
    QVERIFY2(timer.elapsed() < 1000, QByteArray::number(timer.elapsed()).constData());
    key_info.setPlainText(paste);
    QCOMPARE(gb_size(name->text()), Rule::kNameWidth - 2);  // 127 characters of two bytes
    QCOMPARE(to_gb_lines(key_info.toPlainText()).size(), Rule::kKeyInfoTemplateWidth - 2);
  }

  void commandsOpenTheEditorOnTheRule() {
    FrameStores s;
    s.add_rule(to_gb(QStringLiteral("第一条")));
    auto frame = s.frame();
    QVERIFY(frame->command_enabled(cmd::kNewRule));
    {
      OnModal<RuleEditorDialog> modal([](RuleEditorDialog* d) {
        d->findChild<QLineEdit*>("name")->setText("第二条");
        d->findChild<QTreeWidget*>("actions")->topLevelItem(6)->setCheckState(0, Qt::Checked);
        d->findChild<QPushButton*>("ok")->click();
      });
      QVERIFY(frame->run_command(cmd::kNewRule));
      QCOMPARE(modal.seen(), 1);
    }
    QCOMPARE(s.rules.count(), 2u);
    QCOMPARE(s.rules.at(1)->name, to_gb(QStringLiteral("第二条")));
    QCOMPARE(s.rules.at(1)->fetch_need, 0u);

    auto* list = frame->rule_list();
    QString shown;
    OnModal<RuleEditorDialog> modal([&](RuleEditorDialog* d) {
      shown = d->findChild<QLineEdit*>("name")->text();
      d->findChild<QLineEdit*>("name")->setText("第二条");  // taken by the other rule
      d->findChild<QPushButton*>("ok")->click();
      d->reject();
    });
    list->setCurrentItem(list->topLevelItem(0));
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QCOMPARE(shown, QStringLiteral("第一条"));
    QCOMPARE(s.boxes.shown.back().text, text(sid::kRuleNameTaken));
    QCOMPARE(s.rules.at(0)->name, to_gb(QStringLiteral("第一条")));
  }

  void ruleMadeInTheEditorIsStoredAsTheStoreWritesIt() {
    Stores s;
    s.files.folder = QStringLiteral("/home/用户/备份");
    auto e = editor(s, Rule{});
    e->findChild<QLineEdit*>("name")->setText(QStringLiteral("订单转发"));
    for (int row : {0, 6, 14}) e->findChild<QTreeWidget*>("conditions")->topLevelItem(row)->setCheckState(0, Qt::Checked);
    for (int row : {0, 1, 3, 6}) e->findChild<QTreeWidget*>("actions")->topLevelItem(row)->setCheckState(0, Qt::Checked);
    const std::vector<std::pair<RuleParameter, std::function<void(QDialog*)>>> edits = {
        {{RuleParameter::Target::condition, kSender, 0},
         [](QDialog* d) {
           d->findChild<QLineEdit*>("input")->setText(QStringLiteral("订单"));
           d->findChild<QPushButton*>("add")->click();
           d->findChild<QRadioButton*>("notContains")->setChecked(true);
           d->accept();
         }},
        {{RuleParameter::Target::condition, kAge, 0},
         [](QDialog* d) {
           d->findChild<QLineEdit*>("number")->setText("48");
           d->findChild<QRadioButton*>("less")->setChecked(true);
           d->accept();
         }},
        {{RuleParameter::Target::condition, kPattern, 0},
         [](QDialog* d) {
           d->findChild<QPlainTextEdit*>("pattern")->setPlainText(QStringLiteral("订单号*<#1 min=3>\n金额"));
           d->accept();
         }},
        {{RuleParameter::Target::action, kConfirm, 0},
         [](QDialog* d) {
           d->findChild<QLineEdit*>("number")->setText("30");
           d->accept();
         }},
        {{RuleParameter::Target::action, kForward, 0},
         [](QDialog* d) {
           d->findChild<QLineEdit*>("input")->setText("caiwu@example.cn");
           d->findChild<QPushButton*>("add")->click();
           d->findChild<QRadioButton*>("changeHeaders")->setChecked(true);
           d->findChild<QLineEdit*>("shownSubject")->setText(QStringLiteral("转发：订单"));
           d->accept();
         }},
    };
    for (const auto& [parameter, work] : edits) {
      OnModal<QDialog> modal(work);
      QVERIFY(e->edit_parameter(parameter));
    }
    QVERIFY(e->edit_parameter({RuleParameter::Target::action, kBackup, 0}));
    e->findChild<QPushButton*>("ok")->click();
    QVERIFY(s.boxes.shown.empty());
    QCOMPARE(e->result(), int(QDialog::Accepted));

    Rule expected;
    expected.name = to_gb(QStringLiteral("订单转发"));
    expected.condition_mask = kSender | kAge | kPattern;
    expected.sense_mask = ~(kSender | kAge);
    expected.word_lists[0] = to_gb(QStringLiteral("订单;"));
    expected.age_hours = 48;
    expected.body_pattern = to_gb(QStringLiteral("订单号*<#1 min=3>\r\n金额"));
    expected.action_mask = kConfirm | kForward | kBackup | kDelete;
    expected.confirm_seconds = 30;
    expected.forward.to = "caiwu@example.cn;";
    expected.forward.change_headers = true;
    expected.forward.shown_subject = to_gb(QStringLiteral("转发：订单"));
    expected.backup_dir = to_gb(QStringLiteral("/home/用户/备份"));
    expected.fetch_need = compute_fetch_need(expected);

    Rule made = e->rule();
    made.id = s.rules.take_next_id(s.settings.next_rule_id);
    expected.id = made.id;
    s.rules.add(std::move(made));
    QVERIFY(s.rules.save(s.dir).ok);
    const std::string file = read_file(s.dir.file("Ruler")).value_or("");
    const std::string want = expected.encode();
    QCOMPARE(file.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) QVERIFY2(file[i] == want[i], qPrintable(QString("byte %1").arg(i)));
    uint32_t attachments = 0;
    QCOMPARE(Rule::decode_record(file, attachments), std::optional<Rule>(expected));
  }
};

QTEST_MAIN(RuleEditorTest)
#include "rule_editor_test.moc"
