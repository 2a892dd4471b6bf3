// The three panes working together as the main window connects them.
#include <QStandardPaths>
#include <QTest>

#include <ctime>

#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "ui/frame/command_ids.h"
#include "ui/frame/ruler_list_view.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/user_tree_view.h"
#include "ui/view_icons.h"
#include "ui/frame/view_wiring.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

class ViewWiringTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void panesFollowEachOther() {
    Stores s;
    FixedClock clock(std::time(nullptr));
    OperationLog log(s.dir, clock);
    LocalMailIndex local(s.dir, clock);
    log.load_current_month();
    local.load_current_month();
    s.add_rule("only");
    auto a = s.add_account("a@example.com");
    auto b = s.add_account("b@example.com");
    s.mailboxes.bind(*a, 0);
    s.mailboxes.resume(*a);
    local.add(false, "a@example.com", "", "for a", "", 1, "/nonexistent/a.eml");
    local.add(false, "b@example.com", "", "for b", "", 1, "/nonexistent/b.eml");

    CUserTreeView tree(s.mailboxes, s.rules, s.saver, s.boxes, s.files);
    CRulerListView rules(s.rules, s.mailboxes, s.settings, s.saver, s.boxes, s.files);
    CUserInfoView info(log, local);
    connect_views(tree, rules, info);

    // Selecting an account filters the information view.
    tree.setCurrentItem(tree.root()->child(1));
    QCOMPARE(info.local_mail_list()->topLevelItemCount(), 1);
    QCOMPARE(info.local_mail_list()->topLevelItem(0)->text(2), QString("for b"));
    tree.setCurrentItem(tree.root());
    QCOMPARE(info.local_mail_list()->topLevelItemCount(), 2);

    // Deleting the only rule pauses a, and the tree shows it.
    QCOMPARE(tree.root()->child(0)->data(0, kImageRole).toInt(), 1);
    rules.setCurrentItem(rules.topLevelItem(0));
    QVERIFY(rules.run_command(cmd::kDeleteRule));
    QCOMPARE(tree.root()->child(0)->data(0, kImageRole).toInt(), 2);

    // Deleting an account redraws the rule pictures.
    s.add_rule("second");
    rules.add_row(*s.rules.at(0));
    s.mailboxes.bind(*b, 1);
    rules.refresh_images();
    QCOMPARE(rules.topLevelItem(0)->data(0, kImageRole).toInt(), 1);
    tree.setCurrentItem(tree.root()->child(1));
    QVERIFY(tree.run_command(cmd::kDeleteMailbox));
    QCOMPARE(rules.topLevelItem(0)->data(0, kImageRole).toInt(), 0);
  }
};

QTEST_MAIN(ViewWiringTest)
#include "view_wiring_test.moc"
