// Remote management against a local Dovecot: listing in both modes, the
// marks and toggles, carrying out a deletion, cancelling a listing, and the
// account claim shared with the check.
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "base/local_time.h"
#include "net/pop3_session.h"
#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "support/data_builders.h"
#include "support/dovecot_server.h"
#include "res/string_table.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/remote_manager.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_sink.h"
#include "ui/view_icons.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

class NullSink final : public StatusSink {
 public:
  void apply(const StatusReport&) override {}
};

class RecordingDialogs final : public HostDialogs {
 public:
  void notice(QWidget*, const QString& title, const QString& message) override { notices << title + " " + message; }
  std::optional<LoginData> correct_login(QWidget*, const LoginData&) override { return std::nullopt; }
  QStringList notices;
};

// A Dovecot mailbox of `count` mails, an account on it and the dialog's services.
struct Rig {
  test::DovecotServer server;
  Stores stores;
  SystemClock clock;
  OperationLog log{stores.dir, clock};
  LocalMailIndex local{stores.dir, clock};
  NullSink sink;
  RecordingDialogs dialogs;
  QtEngineHost host{nullptr, sink, stores.boxes, dialogs};
  std::shared_ptr<MailboxAccount> account;
  std::vector<std::string> uids;

  bool start(int count) {
    if (!server.start({{"alice", "secret"}})) return false;
    for (int k = 0; k < count; ++k)
      server.deliver("alice", "From: s" + std::to_string(k) + "@example.test\nSubject: mail " + std::to_string(k) +
                                  "\n\nbody of mail " + std::to_string(k) + "\n");
    log.load_current_month();
    local.load_current_month();
    account = stores.mailboxes.create(test::account_record("alice@home.test", "secret", server.server_field()), false);
    Pop3Session pop;
    if (!pop.log_in(server.server_field(), "alice", "secret") || !pop.uidl_all()) return false;
    for (int i = 1; i <= pop.message_count(); ++i) uids.emplace_back(pop.unique_id(i));
    return pop.quit() != 0;
  }
  RemoteServices services() { return RemoteServices{host, log, local, clock, stores.boxes}; }
};

// Shows the dialog and waits until its listing has ended.
void list(CRemoteManager& dialog) {
  dialog.show();
  QTRY_VERIFY_WITH_TIMEOUT(dialog.operate_button()->isEnabled(), 20000);
}

void select_rows(CRemoteManager& dialog, std::initializer_list<int> rows) {
  dialog.list()->clearSelection();
  for (int r : rows) dialog.list()->topLevelItem(r)->setSelected(true);
}

}  // namespace

class RemoteManagerTest : public QObject {
  Q_OBJECT

 private slots:
  void togglesFollowTheSelection() {
    ExtraOperations plain, deleting, backup_a, backup_b;
    deleting.operations = ExtraOperations::kDelete;
    backup_a.operations = backup_b.operations = ExtraOperations::kBackup;
    backup_a.backup_dir = "/a";
    backup_b.backup_dir = "/b";
    const ToggleStates none = toggle_states({}, {});
    QVERIFY(!none.delete_enabled && !none.view_enabled && !none.seen_enabled);
    const ToggleStates mixed = toggle_states({&plain, &deleting}, {true, false});
    QVERIFY(!mixed.delete_enabled && mixed.backup_enabled && !mixed.view_enabled && !mixed.seen_enabled);
    const ToggleStates both = toggle_states({&deleting, &deleting}, {true, true});
    QVERIFY(both.delete_enabled && both.delete_on && both.seen_enabled && both.seen_on);
    QVERIFY(!toggle_states({&backup_a, &backup_b}, {false, false}).backup_enabled);
    QVERIFY(toggle_states({&backup_a}, {false}).view_enabled);
  }

  void newOnlyListingOfASeenMailboxListsNothing() {
    Rig rig;
    if (!rig.start(3)) QSKIP(qPrintable(QString::fromStdString(rig.server.error())));
    for (const std::string& uid : rig.uids) (void)rig.account->seen().add(uid);
    CRemoteManager dialog(rig.account, CRemoteManager::Mode::new_mails, rig.services());
    list(dialog);
    QCOMPARE(dialog.row_count(), size_t{0});
    QVERIFY2(rig.dialogs.notices.isEmpty(), qPrintable(rig.dialogs.notices.join('\n')));
    QVERIFY(dialog.findChild<QLabel*>("statusLabel")->isHidden());
  }

  void backupMarkGoesOnEverySelectedRow() {
    Rig rig;
    if (!rig.start(3)) QSKIP(qPrintable(QString::fromStdString(rig.server.error())));
    (void)rig.account->seen().add(rig.uids[1]);
    RemoteServices services = rig.services();
    int asked = 0;
    services.backup_dir = [&](QWidget*) {
      ++asked;
      return std::string("/srv/backup");
    };
    CRemoteManager dialog(rig.account, CRemoteManager::Mode::all_mails, services);
    list(dialog);
    QCOMPARE(dialog.row_count(), size_t{3});
    QCOMPARE(dialog.list()->topLevelItem(1)->data(1, kImageRole).toInt(), 2);  // processed
    // Empty, the backup column leaves its room to the mail's own columns.
    QVERIFY(dialog.list()->columnWidth(5) < 40);
    select_rows(dialog, {0, 2});
    QVERIFY(dialog.toggle('S')->isEnabled() && !dialog.toggle('C')->isEnabled());
    dialog.toggle('S')->click();
    QCOMPARE(asked, 1);
    for (int r : {0, 2}) {
      QVERIFY(dialog.row(size_t(r)).extra().has(ExtraOperations::kBackup));
      QCOMPARE(dialog.row(size_t(r)).extra().backup_dir, std::string("/srv/backup"));
      QCOMPARE(dialog.list()->topLevelItem(r)->text(5), QStringLiteral("/srv/backup"));
      QCOMPARE(dialog.list()->topLevelItem(r)->toolTip(5), QStringLiteral("/srv/backup"));
    }
    QTRY_VERIFY(dialog.list()->columnWidth(5) >= dialog.fontMetrics().horizontalAdvance(QStringLiteral("/srv/backup")));
    QVERIFY(!dialog.row(1).extra().has(ExtraOperations::kBackup));
    QVERIFY(dialog.toggle('S')->isChecked());
    // One marked, one not: D stays usable, S does not.
    select_rows(dialog, {0, 1});
    QVERIFY(!dialog.toggle('S')->isEnabled() && dialog.toggle('D')->isEnabled() && !dialog.toggle('T')->isEnabled());
  }

  void rowMarkedOnlyForDeletionIsDeletedUnseen() {
    Rig rig;
    if (!rig.start(2)) QSKIP(qPrintable(QString::fromStdString(rig.server.error())));
    RemoteServices services = rig.services();
    std::mutex traced_mutex;
    std::vector<std::string> traced;
    services.pop3.trace = [&](std::string_view line) {
      std::lock_guard lock(traced_mutex);
      traced.emplace_back(line);
    };
    CRemoteManager dialog(rig.account, CRemoteManager::Mode::all_mails, services);
    list(dialog);
    select_rows(dialog, {0});
    dialog.toggle('D')->click();
    QCOMPARE(dialog.list()->topLevelItem(0)->data(2, kImageRole).toInt(), 3);
    QVERIFY(!dialog.row(0).summary().full_text);
    dialog.operate_button()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 20000);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(rig.server.message_count("alice"), size_t{1});
    QVERIFY(!rig.account->seen().contains(rig.uids[0]));
    QVERIFY(!dialog.row(0).summary().full_text);  // never downloaded
    const std::vector<LogRecord> logged = rig.log.records();
    QCOMPARE(logged.size(), size_t{1});
    QCOMPARE(logged[0].operation, res::text(sid::kOneOffDelete));
    QVERIFY(logged[0].success);
    QVERIFY(rig.dialogs.notices.isEmpty());
    // Both sessions, the listing's and the deletion's, reach the protocol log.
    std::lock_guard lock(traced_mutex);
    for (const char* line : {"C: TOP 1 0", "C: DELE 1", "C: PASS ****"})
      QVERIFY2(std::find(traced.begin(), traced.end(), line) != traced.end(), line);
  }

  void cancelDuringListingClosesWithoutNotice() {
    Rig rig;
    if (!rig.start(200)) QSKIP(qPrintable(QString::fromStdString(rig.server.error())));
    CRemoteManager dialog(rig.account, CRemoteManager::Mode::all_mails, rig.services());
    dialog.show();
    QVERIFY(dialog.busy());
    dialog.cancel();
    QCOMPARE(dialog.findChild<QLabel*>("statusLabel")->text(), text(sid::kExiting));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 20000);
    QVERIFY(dialog.row_count() < 200);
    QVERIFY2(rig.dialogs.notices.isEmpty(), qPrintable(rig.dialogs.notices.join('\n')));
  }

  void accountInUseByACheckDoesNotOpen() {
    Rig rig;
    if (!rig.start(1)) QSKIP(qPrintable(QString::fromStdString(rig.server.error())));
    QVERIFY(rig.account->claim(MailboxAccount::Worker::check));
    QVERIFY(!CRemoteManager::run(rig.account, CRemoteManager::Mode::all_mails, rig.services(), nullptr));
    QVERIFY(rig.stores.boxes.only(MessageKind::input_error, sid::kMailboxBeingChecked));
    rig.account->release(MailboxAccount::Worker::check);
    QVERIFY(rig.account->claim(MailboxAccount::Worker::remote_management));
    QVERIFY(!rig.account->claim(MailboxAccount::Worker::check));
  }
};

QTEST_MAIN(RemoteManagerTest)
#include "remote_manager_test.moc"
