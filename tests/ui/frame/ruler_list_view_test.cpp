// The rule list and the binding dialogs: rows and pictures, the context
// menu, deleting with unbinding, import and export, new and modified rules
// through an editor, the configure-rules dialog and the list chooser.
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include "base/file_io.h"
#include "base/fixed_field.h"
#include "res/string_ids.h"
#include "ui/frame/command_ids.h"
#include "ui/rules/configure_rules_dialog.h"
#include "ui/rules/list_chooser_dialog.h"
#include "ui/frame/ruler_list_view.h"
#include "ui/view_icons.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

int image(const QTreeWidgetItem* item) { return item->data(0, kImageRole).toInt(); }

QStringList row_texts(const QTreeWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.topLevelItemCount(); ++i) texts << list.topLevelItem(i)->text(0);
  return texts;
}

void tick(QTreeWidget* list, std::initializer_list<int> rows) {
  for (int i = 0; i < list->topLevelItemCount(); ++i) list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  for (int row : rows) list->topLevelItem(row)->setCheckState(0, Qt::Checked);
}

QList<int> ticked(const QTreeWidget* list) {
  QList<int> rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->checkState(0) == Qt::Checked) rows << i;
  }
  return rows;
}

std::string settings_file(const Stores& s) { return read_file(s.dir.file("System")).value_or(""); }

}  // namespace

class RulerListViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void rowsFollowTheStoreAndShowUse() {
    Stores s;
    s.add_rule("unused");
    s.add_rule("used");
    s.mailboxes.bind(*s.add_account("a@example.com"), 1);
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    QCOMPARE(list.headerItem()->text(0), text(sid::kAllRules));
    QCOMPARE(row_texts(list), (QStringList{"unused", "used"}));
    QCOMPARE(image(list.topLevelItem(0)), 0);
    QCOMPARE(image(list.topLevelItem(1)), 1);
    s.mailboxes.bind(*s.mailboxes.at(0), 0);
    list.refresh_images();
    QCOMPARE(image(list.topLevelItem(0)), 1);
  }

  void contextMenuOffersModifyAndDeleteOnlyOnARow() {
    Stores s;
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    std::unique_ptr<QMenu> empty(list.context_menu(false));
    QCOMPARE(menu_texts(empty.get()), (QStringList{"导入规则", "导出规则", "-", "添加规则"}));
    QVERIFY(menu_action(empty.get(), cmd::kImportRules)->isEnabled());
    QVERIFY(!menu_action(empty.get(), cmd::kExportRules)->isEnabled());  // no rules
    QVERIFY(!menu_action(empty.get(), cmd::kNewRule)->isEnabled());      // no editor yet

    s.add_rule("r");
    list.add_row(*s.rules.at(0));
    list.set_rule_editor([](QWidget*, Rule&, bool) { return false; });
    list.setCurrentItem(list.topLevelItem(0));
    std::unique_ptr<QMenu> on_row(list.context_menu(true));
    QCOMPARE(menu_texts(on_row.get()), (QStringList{"导入规则", "导出规则", "-", "添加规则", "修改规则", "删除规则"}));
    for (QAction* a : on_row->actions()) QVERIFY(a->isSeparator() || a->isEnabled());
  }

  // A "Ruler" holding one id twice: the second rule gets an id of its own,
  // so deleting and modifying its row reach it and not the first.
  void aDuplicateIdInTheRuleFileStillAddressesEachRow() {
    Stores s;
    s.add_rule("first");
    s.add_rule("second");
    s.rules.at(1)->id = s.rules.at(0)->id;
    QVERIFY(s.rules.save(s.dir).ok);
    QCOMPARE(s.rules.load(s.dir).loaded, size_t{2});
    QCOMPARE(s.rules.at(0)->id, 0);
    QVERIFY(s.rules.at(1)->id != 0);
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    list.set_rule_editor([](QWidget*, Rule& rule, bool) {
      rule.name = "changed";
      return true;
    });
    list.setCurrentItem(list.topLevelItem(1));
    QVERIFY(list.run_command(cmd::kModifyRule));
    QCOMPARE(row_texts(list), (QStringList{"first", "changed"}));
    s.boxes.answer_yes = true;
    QVERIFY(list.run_command(cmd::kDeleteRule));
    QCOMPARE(row_texts(list), QStringList{"first"});
    QCOMPARE(s.rules.count(), 1u);
    QCOMPARE(s.rules.at(0)->name, std::string("first"));
  }

  void deletingTheOnlyRuleOfAWatchedMailboxStopsWatchingIt() {
    Stores s;
    s.add_rule("only");
    s.add_rule("other");
    auto lone = s.add_account("lone@example.com");
    auto both = s.add_account("both@example.com");
    s.mailboxes.bind(*lone, 0);
    s.mailboxes.bind(*both, 0);
    s.mailboxes.bind(*both, 1);
    s.mailboxes.resume_all();
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    QSignalSpy marks(&list, &CRulerListView::watch_marks_changed);
    list.setCurrentItem(list.topLevelItem(0));

    s.boxes.answer_yes = false;
    QVERIFY(list.run_command(cmd::kDeleteRule));
    QVERIFY(s.boxes.only(MessageKind::question, sid::kAskDeleteRule));
    QCOMPARE(s.rules.count(), 2u);
    QVERIFY(!lone->paused());

    s.boxes.answer_yes = true;
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(s.rules.count(), 1u);
    QCOMPARE(row_texts(list), QStringList{"other"});
    QVERIFY(lone->paused());
    QCOMPARE(lone->bound_count(), 0u);
    QVERIFY(!both->paused());
    QCOMPARE(both->bound_rules(), std::vector<uint32_t>{1});
    QCOMPARE(s.mailboxes.watched_count(), 1u);
    QCOMPARE(marks.count(), 1);
    // Both files are written at once.
    QCOMPARE(read_file(s.dir.file("Ruler"))->size(), Rule::kRecordSize);
    std::string mailbox = *read_file(s.mailboxes.file());
    QCOMPARE(mailbox.size(), 2 * (MailboxRecord::kSize + 4) + 8);
    QCOMPARE(mailbox[580], '\1');
  }

  void importAddsRowsWithFreeNamesAndNewIds() {
    Stores s;
    s.add_rule("Spam");
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    s.files.save_name = QString::fromStdString((s.temp / "export").string());
    QVERIFY(list.run_command(cmd::kExportRules));
    QVERIFY(s.boxes.only(MessageKind::notice, sid::kExportDone));
    QVERIFY(std::filesystem::exists(s.temp / "export.rul"));
    QCOMPARE(s.files.filters.last(), QString("Ruler Files (*.rul)"));

    s.files.open_name = QString::fromStdString((s.temp / "export.rul").string());
    QVERIFY(list.run_command(cmd::kImportRules));
    QVERIFY(list.run_command(cmd::kImportRules));
    QCOMPARE(row_texts(list), (QStringList{"Spam", "Spam001", "Spam002"}));
    QCOMPARE(s.rules.at(1)->id, 1);
    QCOMPARE(s.rules.at(2)->id, 2);
    QCOMPARE(s.settings.next_rule_id, 3u);
    // The rules and the advanced id counter are on disk.
    QCOMPARE(read_file(s.dir.file("Ruler"))->size(), 3 * Rule::kRecordSize);
    QCOMPARE(read_le32(settings_file(s).data() + 252), 3u);
  }

  void exportThatCannotWriteIsAFailure() {
    Stores s;
    s.add_rule("r");
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    s.files.save_name = QString::fromStdString((s.temp / "no-such-dir" / "x.rul").string());
    QVERIFY(list.run_command(cmd::kExportRules));
    QVERIFY(s.boxes.only(MessageKind::failure, sid::kExportFailed));
  }

  void newRuleTakesTheNextIdAndAsksForMailboxesOnlyWhenThereAreSome() {
    Stores s;
    s.settings.next_rule_id = 7;
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    QVERIFY(!list.command_enabled(cmd::kNewRule));
    int edits = 0;
    list.set_rule_editor([&](QWidget*, Rule& rule, bool is_new) {
      ++edits;
      rule.name = is_new ? "fresh" : "renamed";
      return true;
    });
    {
      OnModal<CListChooserDialog> chooser([](CListChooserDialog* c) { c->reject(); });
      QVERIFY(list.run_command(cmd::kNewRule));
      QCOMPARE(chooser.seen(), 0);
    }
    QCOMPARE(edits, 1);
    QCOMPARE(s.rules.count(), 1u);
    QCOMPARE(s.rules.at(0)->id, 7);
    QCOMPARE(s.settings.next_rule_id, 8u);
    QCOMPARE(row_texts(list), QStringList{"fresh"});
    QCOMPARE(read_le32(settings_file(s).data() + 252), 8u);

    auto a = s.add_account("a@example.com");
    auto b = s.add_account("b@example.com");
    QString caption;
    OnModal<CListChooserDialog> chooser([&](CListChooserDialog* c) {
      caption = c->windowTitle();
      auto* rows = c->findChild<QTreeWidget*>("choices");
      QCOMPARE(rows->headerItem()->text(1), text(sid::kMailboxColumn));
      tick(rows, {1});
      c->findChild<QPushButton*>("ok")->click();
    });
    QVERIFY(list.run_command(cmd::kNewRule));
    QCOMPARE(caption, text(sid::kChooseMailboxesTitle));
    QVERIFY(!a->is_bound(8));
    QVERIFY(b->is_bound(8));
    // The mailbox given the rule is offered watching (answered Yes here).
    QCOMPARE(s.boxes.shown.back().text, text(sid::kOfferWatch).arg(QStringLiteral("b@example.com")));
    QVERIFY(a->paused());
    QVERIFY(!b->paused());
    QCOMPARE(image(list.topLevelItem(1)), 1);  // the row is added after the binding

    list.setCurrentItem(list.topLevelItem(0));
    QVERIFY(list.run_command(cmd::kModifyRule));
    QCOMPARE(list.topLevelItem(0)->text(0), QString("renamed"));
    QCOMPARE(s.rules.at(0)->id, 7);
  }

  void configureRulesStoresTheTicksOfEachMailbox() {
    Stores s;
    for (const char* name : {"r0", "r1", "r2"}) s.add_rule(name);
    auto a = s.add_account("a@example.com");
    auto b = s.add_account("b@example.com");
    s.mailboxes.bind(*a, 2);
    s.mailboxes.resume(*a);
    CRulerListView list(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    QSignalSpy marks(&list, &CRulerListView::watch_marks_changed);
    QSignalSpy watching(&list, &CRulerListView::watching_started);
    QList<int> first_shown, back_on_a;
    OnModal<CConfigureRulesDialog> configure([&](CConfigureRulesDialog* d) {
      auto* mailbox = d->findChild<QComboBox*>("mailbox");
      auto* rules = d->findChild<QTreeWidget*>("rules");
      first_shown = ticked(rules);
      tick(rules, {1, 0});
      mailbox->setCurrentIndex(1);
      tick(rules, {2});
      mailbox->setCurrentIndex(0);
      back_on_a = ticked(rules);
      tick(rules, {});
      d->findChild<QPushButton*>("close")->click();  // stores like the close box
    });
    QVERIFY(list.run_command(cmd::kConfigureRules));
    QCOMPARE(configure.seen(), 1);
    QCOMPARE(first_shown, QList<int>{2});
    QCOMPARE(back_on_a, (QList<int>{0, 1}));
    QCOMPARE(a->bound_count(), 0u);  // cleared before closing
    QVERIFY(a->paused());            // left without rules
    QCOMPARE(b->bound_rules(), std::vector<uint32_t>{2});
    QVERIFY(!b->paused());  // given its first rule, and watching it was accepted
    QCOMPARE(watching.count(), 1);
    QCOMPARE(image(list.topLevelItem(0)), 0);
    QCOMPARE(image(list.topLevelItem(2)), 1);
    QCOMPARE(marks.count(), 1);
    QCOMPARE(read_file(s.mailboxes.file())->size(), 2 * (MailboxRecord::kSize + 4) + 8);
  }

  void chooserBindsTickedRulesInRowOrderAndCancelBindsNothing() {
    Stores s;
    for (const char* name : {"r0", "r1", "r2"}) s.add_rule(name);
    auto account = s.add_account("a@example.com");
    {
      CListChooserDialog chooser(s.mailboxes, s.rules, *account);
      tick(chooser.findChild<QTreeWidget*>("choices"), {2, 0});
      chooser.reject();
      QCOMPARE(account->bound_count(), 0u);
    }
    CListChooserDialog chooser(s.mailboxes, s.rules, *account);
    QCOMPARE(chooser.findChild<QTreeWidget*>("choices")->headerItem()->text(1), text(sid::kRuleNameColumn));
    tick(chooser.findChild<QTreeWidget*>("choices"), {2, 0});
    chooser.accept();
    QCOMPARE(account->bound_rules(), (std::vector<uint32_t>{0, 2}));
    QCOMPARE(s.rules.at(2)->use_count, 1);
  }
};

QTEST_MAIN(RulerListViewTest)
#include "ruler_list_view_test.moc"
