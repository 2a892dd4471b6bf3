// The mailbox tree: its items and pictures, its context menus and command
// states, adding, deleting, pausing and resuming accounts, import and export,
// and that every change reaches the "Mailbox" file.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include "base/file_io.h"
#include "res/string_ids.h"
#include "stores/oauth_store.h"
#include "ui/frame/command_ids.h"
#include "ui/rules/list_chooser_dialog.h"
#include "ui/settings/mailbox_dialog.h"
#include "stores/oauth_store.h"
#include "ui/frame/user_tree_view.h"
#include "ui/view_icons.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

int image(const QTreeWidgetItem* item) { return item->data(0, kImageRole).toInt(); }

// The states of the account menu's commands that depend on the account.
struct AccountMenuStates {
  bool resume, pause, check;
};

AccountMenuStates account_states(CUserTreeView& tree, QTreeWidgetItem* item) {
  std::unique_ptr<QMenu> menu(tree.context_menu(item));
  return {menu_action(menu.get(), cmd::kResumeMailbox)->isEnabled(),
          menu_action(menu.get(), cmd::kPauseMailbox)->isEnabled(),
          menu_action(menu.get(), cmd::kCheckMailbox)->isEnabled()};
}

void fill_new_account(CMailboxDialog* d, const QString& address) {
  d->findChild<QLineEdit*>("address")->setText(address);
  d->findChild<QLineEdit*>("loginName")->setText("me");
  d->findChild<QLineEdit*>("password")->setText("pw");
  d->findChild<QLineEdit*>("popServer")->setText("pop.example.com");
  d->findChild<QLineEdit*>("smtpServer")->setText("smtp.example.com");
  d->findChild<QPushButton*>("ok")->click();
}

size_t mailbox_file_size(const Stores& s) {
  std::optional<std::string> data = read_file(s.mailboxes.file());
  return data ? data->size() : 0;
}

}  // namespace

class UserTreeViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void showsEveryAccountUnderTheRootWithItsWatchMark() {
    Stores s;
    {
      CUserTreeView empty(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
      QCOMPARE(empty.empty_hint(), text(sid::kEmptyTreeHint));  // the first step, named
    }
    s.add_rule("r");
    auto watched = s.add_account("watched@example.com");
    s.mailboxes.bind(*watched, 0);
    s.mailboxes.resume(*watched);
    s.add_account("paused@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree.root();
    QCOMPARE(root->text(0), text(sid::kAllMailboxes));
    QVERIFY(root->isExpanded());
    QCOMPARE(image(root), 0);
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QString("watched@example.com"));
    QCOMPARE(image(root->child(0)), 1);
    QCOMPARE(root->child(1)->text(0), QString("paused@example.com"));
    QCOMPARE(image(root->child(1)), 2);
    QVERIFY(tree.empty_hint().isEmpty());
  }

  // A mailbox signed in with OAuth 2.0 whose grant is gone says so after its
  // address; the mark follows the token file at the end of each check.
  void oauthMailboxWithoutAGrantIsMarked() {
    Stores s;
    for (const char* address : {"live@example.com", "refused@example.com"}) {
      auto account = s.add_account(address);
      MailboxRecord r = account->record();
      r.sign_in = MailboxRecord::SignIn::google;
      account->set_record(r);
    }
    s.add_account("password@example.com");
    const OAuthStore store(s.mailboxes.program_dir());
    QVERIFY(store.update([](OAuthFile& f) {
      f.mailboxes["live@example.com"].refresh_token = "rt";
      f.mailboxes["refused@example.com"].refresh_token = "rt";
      f.mailboxes["refused@example.com"].refused = "invalid_grant";
    }));
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    QTreeWidgetItem* root = tree.root();
    QCOMPARE(root->child(0)->text(0), QString("live@example.com"));
    QCOMPARE(root->child(1)->text(0), QString("refused@example.com") + text(sid::kNeedsSignIn));
    QCOMPARE(root->child(2)->text(0), QString("password@example.com"));
    QVERIFY(store.update([](OAuthFile& f) { f.mailboxes["refused@example.com"].refused.clear(); }));
    tree.set_check_running(true);
    tree.set_check_running(false);
    QCOMPARE(root->child(1)->text(0), QString("refused@example.com"));
  }

  void rootAndEmptySpaceOfferImportExportAndAddOnly() {
    Stores s;
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    const QStringList expected{"导入邮箱", "导出邮箱", "-", "添加邮箱"};
    for (QTreeWidgetItem* hit : {static_cast<QTreeWidgetItem*>(nullptr), tree.root()}) {
      std::unique_ptr<QMenu> menu(tree.context_menu(hit));
      QCOMPARE(menu_texts(menu.get()), expected);
      QVERIFY(!menu_action(menu.get(), cmd::kExportMailboxes)->isEnabled());  // no account yet
    }
    s.add_account("a@example.com");
    CUserTreeView filled(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    std::unique_ptr<QMenu> menu(filled.context_menu(filled.root()));
    QVERIFY(menu_action(menu.get(), cmd::kExportMailboxes)->isEnabled());
  }

  void accountMenuListsEveryCommandInOrder() {
    Stores s;
    s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    QTreeWidgetItem* item = tree.root()->child(0);
    std::unique_ptr<QMenu> menu(tree.context_menu(item));
    QCOMPARE(menu_texts(menu.get()),
             (QStringList{"导入邮箱", "导出邮箱", "-", "添加邮箱", "修改邮箱", "删除邮箱", "-", "开启邮箱监管",
                          "关闭邮箱监管", "-", "立即检查邮箱", "-", "远程管理"}));
    QMenu* remote = menu->actions().last()->menu();
    QVERIFY(remote);
    QCOMPARE(menu_texts(remote), (QStringList{"显示新到邮件", "显示所有邮件"}));
    QCOMPARE(tree.currentItem(), item);  // the right click selected it
  }

  void accountCommandsFollowWatchRulesAndRunningCheck() {
    Stores s;
    s.add_rule("r");
    auto account = s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    QSignalSpy checks(&tree, &CUserTreeView::check_account_requested);
    QTreeWidgetItem* item = tree.root()->child(0);

    AccountMenuStates paused = account_states(tree, item);
    QVERIFY(paused.resume && !paused.pause && !paused.check);

    // Watched but without a rule (as a file may hold it): no check.
    s.mailboxes.resume(*account);
    AccountMenuStates ruleless = account_states(tree, item);
    QVERIFY(!ruleless.resume && ruleless.pause && !ruleless.check);

    s.mailboxes.bind(*account, 0);
    QVERIFY(account_states(tree, item).check);
    tree.set_check_running(true);
    QVERIFY(!account_states(tree, item).check);
    QVERIFY(!tree.run_command(cmd::kCheckMailbox));
    tree.set_check_running(false);
    QVERIFY(tree.run_command(cmd::kCheckMailbox));
    QCOMPARE(checks.count(), 1);
    QCOMPARE(checks.at(0).at(0).value<std::shared_ptr<MailboxAccount>>(), account);
  }

  void remoteManagementWaitsForAReceiver() {
    Stores s;
    s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root()->child(0));
    QVERIFY(!tree.command_enabled(cmd::kRemoteNewMails));
    bool all = false;
    connect(&tree, &CUserTreeView::remote_management_requested, this,
            [&](std::shared_ptr<MailboxAccount>, bool all_mails) { all = all_mails; });
    QVERIFY(tree.run_command(cmd::kRemoteAllMails));
    QVERIFY(all);
    QVERIFY(tree.run_command(cmd::kRemoteNewMails));
    QVERIFY(!all);
  }

  void selectionTellsTheAccountOrNoneForTheRoot() {
    Stores s;
    auto account = s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    std::vector<MailboxAccount*> selected;
    connect(&tree, &CUserTreeView::account_selected, this, [&](MailboxAccount* a) { selected.push_back(a); });
    tree.setCurrentItem(tree.root()->child(0));
    tree.setCurrentItem(tree.root());
    QCOMPARE(selected, (std::vector<MailboxAccount*>{account.get(), nullptr}));
    QVERIFY(!tree.command_enabled(cmd::kModifyMailbox));
  }

  void addingWithoutRulesSkipsTheChooserAndShowsThePausedAccount() {
    Stores s;
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    OnModal<CMailboxDialog> dialog([](CMailboxDialog* d) { fill_new_account(d, "new@example.com"); });
    OnModal<CListChooserDialog> chooser([](CListChooserDialog* c) { c->reject(); });
    QVERIFY(tree.run_command(cmd::kAddMailbox));
    QCOMPARE(dialog.seen(), 1);
    QCOMPARE(chooser.seen(), 0);
    QCOMPARE(s.mailboxes.count(), 1u);
    auto account = s.mailboxes.at(0);
    QVERIFY(account->paused());
    QCOMPARE(tree.root()->childCount(), 1);
    QCOMPARE(image(tree.root()->child(0)), 2);
    QCOMPARE(mailbox_file_size(s), MailboxRecord::kSize + 4);  // on disk at once

    // Resuming an account without rules is refused with a notice.
    tree.setCurrentItem(tree.root()->child(0));
    QVERIFY(tree.run_command(cmd::kResumeMailbox));
    QVERIFY(s.boxes.only(MessageKind::notice, sid::kNoRulesNotice));
    QVERIFY(account->paused());
    QCOMPARE(image(tree.root()->child(0)), 2);
  }

  void addingWithRulesBindsTheTickedRules() {
    Stores s;
    s.add_rule("first");
    s.add_rule("second");
    s.add_rule("third");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    QSignalSpy bindings(&tree, &CUserTreeView::bindings_changed);
    QSignalSpy watching(&tree, &CUserTreeView::watching_started);
    QString caption;
    QList<Qt::CheckState> initial;
    OnModal<CMailboxDialog> dialog([](CMailboxDialog* d) { fill_new_account(d, "new@example.com"); });
    OnModal<CListChooserDialog> chooser([&](CListChooserDialog* c) {
      caption = c->windowTitle();
      auto* list = c->findChild<QTreeWidget*>("choices");
      for (int i = 0; i < list->topLevelItemCount(); ++i) initial << list->topLevelItem(i)->checkState(0);
      list->topLevelItem(2)->setCheckState(0, Qt::Checked);
      list->topLevelItem(0)->setCheckState(0, Qt::Checked);
      c->findChild<QPushButton*>("ok")->click();
    });
    QVERIFY(tree.run_command(cmd::kAddMailbox));
    QCOMPARE(caption, text(sid::kChooseRulesTitle));
    QCOMPARE(initial, (QList<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked, Qt::Unchecked}));
    auto account = s.mailboxes.at(0);
    QCOMPARE(account->bound_rules(), (std::vector<uint32_t>{0, 2}));  // row order
    QCOMPARE(s.rules.at(0)->use_count, 1);
    QCOMPARE(s.rules.at(1)->use_count, 0);
    QCOMPARE(bindings.count(), 1);
    // With rules bound, watching is offered; the answer here is Yes.
    QCOMPARE(s.boxes.shown.size(), size_t{1});
    QCOMPARE(s.boxes.shown[0].text, text(sid::kOfferWatch).arg(QStringLiteral("new@example.com")));
    QVERIFY(!account->paused());
    QCOMPARE(watching.count(), 1);
    QCOMPARE(mailbox_file_size(s), MailboxRecord::kSize + 4 + 16);
  }

  void deletingAsksFirstAndRemovesAccountItemAndSeenFile() {
    Stores s;
    s.add_rule("r");
    auto account = s.add_account("a@example.com");
    s.mailboxes.bind(*account, 0);
    s.add_account("b@example.com");
    QVERIFY(s.mailboxes.save().ok);
    QVERIFY(account->seen().append_seen("u1"));  // as a check leaves it
    std::filesystem::path uid = account->seen().file();
    QVERIFY(std::filesystem::exists(uid));
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root()->child(0));

    s.boxes.answer_yes = false;
    QVERIFY(tree.run_command(cmd::kDeleteMailbox));
    QVERIFY(s.boxes.only(MessageKind::question, sid::kAskDeleteMailbox));
    QCOMPARE(s.mailboxes.count(), 2u);

    s.boxes.answer_yes = true;
    QSignalSpy bindings(&tree, &CUserTreeView::bindings_changed);
    QTest::keyClick(&tree, Qt::Key_Delete);
    QCOMPARE(s.mailboxes.count(), 1u);
    QCOMPARE(s.mailboxes.at(0)->address(), std::string("b@example.com"));
    QCOMPARE(tree.root()->childCount(), 1);
    QCOMPARE(tree.root()->child(0)->text(0), QString("b@example.com"));
    QVERIFY(!std::filesystem::exists(uid));
    QCOMPARE(s.rules.at(0)->use_count, 0);
    QCOMPARE(bindings.count(), 1);
    QCOMPARE(mailbox_file_size(s), MailboxRecord::kSize + 4);
  }

  void deleteKeyOnTheRootDoesNothing() {
    Stores s;
    s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root());
    QTest::keyClick(&tree, Qt::Key_Delete);
    QVERIFY(s.boxes.shown.empty());
    QCOMPARE(s.mailboxes.count(), 1u);
  }

  void pauseAndResumeMoveTheMarkAndReachTheFile() {
    Stores s;
    s.add_rule("r");
    auto account = s.add_account("a@example.com");
    s.mailboxes.bind(*account, 0);
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root()->child(0));
    QVERIFY(tree.run_command(cmd::kResumeMailbox));
    QCOMPARE(image(tree.root()->child(0)), 1);
    QCOMPARE(s.mailboxes.watched_count(), 1u);
    QCOMPARE(read_file(s.mailboxes.file())->at(580), '\0');
    QVERIFY(tree.run_command(cmd::kPauseMailbox));
    QCOMPARE(image(tree.root()->child(0)), 2);
    QCOMPARE(read_file(s.mailboxes.file())->at(580), '\1');
    QVERIFY(s.boxes.shown.empty());
  }

  void accountSaveWaitsForARunningCheck() {
    Stores s;
    s.add_rule("r");
    auto account = s.add_account("a@example.com");
    s.mailboxes.bind(*account, 0);
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root()->child(0));
    s.saver.set_check_running(true);
    QVERIFY(tree.run_command(cmd::kResumeMailbox));
    QVERIFY(!std::filesystem::exists(s.mailboxes.file()));
    QVERIFY(s.saver.mailboxes_pending());
    s.saver.set_check_running(false);
    QCOMPARE(read_file(s.mailboxes.file())->at(580), '\0');
  }

  void exportThenImportRecreatesTheAccountsPaused() {
    Stores s;
    auto a = s.add_account("a@example.com");
    MailboxRecord r = a->record();
    r.smtp_auth = 1;
    a->set_record(r);
    s.add_account("b@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    s.files.save_name = QString::fromStdString((s.temp / "accounts").string());
    s.boxes.answer_yes = false;
    QVERIFY(tree.run_command(cmd::kExportMailboxes));
    QVERIFY(s.boxes.only(MessageKind::question, sid::kAskExportPasswords));
    QVERIFY(!std::filesystem::exists(s.temp / "accounts.txt"));

    s.boxes.answer_yes = true;
    s.boxes.shown.clear();
    QVERIFY(tree.run_command(cmd::kExportMailboxes));
    QCOMPARE(s.boxes.shown.size(), 2u);
    QCOMPARE(s.boxes.shown[1].text, text(sid::kExportDone));
    QCOMPARE(s.files.filters.last(), QString("Text Files (*.txt)"));

    Stores other;
    CUserTreeView target(other.mailboxes, other.rules, other.saver, other.boxes, other.files);
    other.files.open_name = QString::fromStdString((s.temp / "accounts.txt").string());
    QVERIFY(target.run_command(cmd::kImportMailboxes));
    QVERIFY(other.boxes.only(MessageKind::notice, sid::kImportDone));
    QCOMPARE(other.mailboxes.count(), 2u);
    QCOMPARE(target.root()->childCount(), 2);
    QCOMPARE(image(target.root()->child(0)), 2);
    QCOMPARE(other.mailboxes.at(0)->record().smtp_auth, 1u);
    QCOMPARE(other.mailboxes.at(1)->record().smtp_auth, 0u);
    QVERIFY(std::filesystem::exists(other.mailboxes.file()));

    // The same file again adds nothing and still says it worked.
    other.boxes.shown.clear();
    QVERIFY(target.run_command(cmd::kImportMailboxes));
    QVERIFY(other.boxes.only(MessageKind::notice, sid::kImportDone));
    QCOMPARE(target.root()->childCount(), 2);
  }

  void unreadableImportFileIsAFailure() {
    Stores s;
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    s.files.open_name = QString::fromStdString((s.temp / "missing.txt").string());
    QVERIFY(tree.run_command(cmd::kImportMailboxes));
    QVERIFY(s.boxes.only(MessageKind::failure, sid::kImportFailed));
  }

  void editingWritesTheRecordAndKeepsTheItem() {
    Stores s;
    auto account = s.add_account("a@example.com");
    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    tree.setCurrentItem(tree.root()->child(0));
    OnModal<CMailboxDialog> dialog([](CMailboxDialog* d) {
      d->findChild<QLineEdit*>("popServer")->setText("pop2.example.com");
      d->findChild<QPushButton*>("ok")->click();
    });
    emit tree.itemDoubleClicked(tree.root()->child(0), 0);
    QCOMPARE(account->record().pop_server, std::string("pop2.example.com"));
    QCOMPARE(tree.root()->child(0)->text(0), QString("a@example.com"));
    QVERIFY(std::filesystem::exists(s.mailboxes.file()));
  }
};

QTEST_MAIN(UserTreeViewTest)
#include "user_tree_view_test.moc"
