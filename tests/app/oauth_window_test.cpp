// A mailbox signed in with OAuth 2.0 in the running program: the main window
// checks it, remote management lists and deletes its mails and the download
// dialog fetches one, all through the token file and the fake authorization
// server. Dovecot and aiosmtpd offer only XOAUTH2 (as Outlook.com does), over
// STLS and STARTTLS with a throwaway CA, and validate the tokens there.
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>

#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "app/power_off.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "engine/oauth_access.h"
#include "net/dial_up.h"
#include "res/string_table.h"
#include "rules/rule.h"
#include "stores/local_mail_index.h"
#include "stores/oauth_store.h"
#include "stores/operation_log.h"
#include "support/dovecot_server.h"
#include "support/oauth_server.h"
#include "support/smtp_server.h"
#include "support/test_ca.h"
#include "ui/frame/command_ids.h"
#include "ui/frame/user_tree_view.h"
#include "ui/host/host_dialogs.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_sink.h"
#include "ui/mail/download_dialog.h"
#include "ui/mail/remote_manager.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

const std::string kAddress = "alice@home.test";

std::string mail(int k) {
  return "From: s" + std::to_string(k) + "@example.test\nTo: alice@home.test\nSubject: mail " + std::to_string(k) +
         "\n\nbody of mail " + std::to_string(k) + "\n";
}

// Every line of the sessions' protocol logs, from whichever thread.
struct Traces {
  std::mutex mutex;
  std::vector<std::string> lines;
  ProtocolTrace sink() {
    return [this](std::string_view line) {
      std::lock_guard lock(mutex);
      lines.emplace_back(line);
    };
  }
  bool has(const std::string& line) {
    std::lock_guard lock(mutex);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // The first line that holds any of `secrets`, or empty.
  std::string leak(const std::vector<std::string>& secrets) {
    std::lock_guard lock(mutex);
    for (const std::string& line : lines)
      for (const std::string& s : secrets)
        if (!s.empty() && line.find(s) != std::string::npos) return line;
    return {};
  }
};

class RecordingDialogs final : public HostDialogs {
 public:
  void notice(QWidget*, const QString& title, const QString& message) override { notices << title + " " + message; }
  std::optional<LoginData> correct_login(QWidget*, const LoginData&) override { return std::nullopt; }
  QStringList notices;
};

class NoStatus final : public StatusSink {
 public:
  void apply(const StatusReport&) override {}
};

struct NoPowerOff final : app::PowerOff {
  void power_off() override {}
};

}  // namespace

class OAuthWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::OAuthServer> auth_;
  test::TestCa ca_;
  test::DovecotServer pop_;
  std::unique_ptr<test::SmtpServer> smtp_;

  // An OAuth mailbox on the servers, forwarding, answering and deleting
  // every mail, signed in, in a fresh data directory.
  ProgramDir signed_in(const test::TempDir& temp) {
    ProgramDir dir(temp.path() / "data");
    if (!dir.create_directories()) return dir;
    MailboxRecord r;
    r.address = kAddress;
    r.login_name = "alice";
    r.pop_server = pop_.server_field();
    r.smtp_server = smtp_->field();
    r.smtp_auth = 1;
    r.smtp_login_name = "alice";
    r.require_tls = true;
    r.sign_in = MailboxRecord::SignIn::custom;
    Rule rule;
    rule.id = 1;
    rule.name = "forward, reply and delete";
    rule.action_mask = bit(ActionKind::forward) | bit(ActionKind::reply) | bit(ActionKind::delete_on_server);
    rule.forward.to = "friend@example.test;";
    rule.reply.subject = "Re: your mail";
    rule.reply.text = "Received, thank you.";
    rule.delete_always = true;
    rule.fetch_need = compute_fetch_need(rule);
    RuleStore rules;
    rules.add(rule);
    MailboxList list(dir);
    std::shared_ptr<MailboxAccount> account = list.create(r, false);
    SystemSettings settings;
    settings.set_notifications(false);
    if (!rules.save(dir).ok || !list.bind(*account, 1) || !list.save().ok || !settings.save(dir).ok ||
        !auth_->sign_in(dir, kAddress))
      QTest::qFail("data directory not written", __FILE__, __LINE__);
    return dir;
  }
  static OAuthMailbox tokens(const ProgramDir& dir) { return OAuthStore(dir).load().mailboxes[kAddress]; }
  static void expire(const ProgramDir& dir) {
    QVERIFY(OAuthStore(dir).update([](OAuthFile& f) { f.mailboxes[kAddress].expires_at = 1; }));
  }
  // Checks every mailbox from the window (or lets the check the window
  // began at its start end); the outcome the window saw.
  static RunOutcome check_all(app::CMainFrame* frame) {
    std::optional<RunOutcome> seen;
    QMetaObject::Connection c = QObject::connect(frame, &app::CMainFrame::check_finished,
                                                 [&](const RunOutcome& outcome) { seen = outcome; });
    (void)frame->run_command(cmd::kCheckAll);
    // A tick while the run goes on does not count down; the first after it
    // sees the end.
    (void)QTest::qWaitFor([&] { return frame->tick_countdown(), seen.has_value(); }, 30000);
    QObject::disconnect(c);
    return seen.value_or(RunOutcome{});
  }

 private slots:
  void initTestCase() {
    auth_ = std::make_unique<test::OAuthServer>(test::OAuthServer::Options{.rotate = true});
    QVERIFY2(auth_->running(), auth_->log().c_str());
    QVERIFY2(ca_.ok(), ca_.error().c_str());
    const test::TestCa::Issued pop_cert = ca_.issue("127.0.0.10");
    pop_.set_tls({test::DovecotServer::Tls::Mode::stls, "127.0.0.10", 0, pop_cert.cert, pop_cert.key});
    pop_.set_oauth(auth_->url("/introspect"), "xoauth2");
    if (!pop_.start({{"alice", "secret"}})) QSKIP(qPrintable("no Dovecot: " + QString::fromStdString(pop_.error())));
    const test::TestCa::Issued smtp_cert = ca_.issue("127.0.0.11");
    smtp_ = std::make_unique<test::SmtpServer>(test::SmtpServerOptions()
                                                   .on("127.0.0.11", 0)
                                                   .with_login("me", "unused")
                                                   .with_oauth(auth_->url("/introspect"), "XOAUTH2")
                                                   .with_tls(smtp_cert.cert, smtp_cert.key, false));
    QVERIFY2(smtp_->running(), smtp_->log().c_str());
    ::setenv("SSL_CERT_FILE", ca_.pem().c_str(), 1);
  }
  void cleanupTestCase() { ::unsetenv("SSL_CERT_FILE"); }
  // Each test begins with an empty inbox.
  void init() {
    std::error_code error;
    for (const char* sub : {"new", "cur"})
      for (const auto& e : std::filesystem::directory_iterator(pop_.maildir("alice") / sub, error))
        std::filesystem::remove(e.path(), error);
  }

  // An expired access token is refreshed before the check; the rotated
  // refresh token is kept; no token reaches the protocol logs or the
  // operation log. Once the grant is revoked the check fails with "sign in
  // again" and the tree marks the mailbox.
  void windowChecksWithARefreshedTokenAndMarksARevokedGrant() {
    test::TempDir temp;
    const ProgramDir dir = signed_in(temp);
    expire(dir);
    const OAuthMailbox before = tokens(dir);
    const int refreshes = auth_->stat("refreshes");
    const size_t sent_before = smtp_->mails().size();
    pop_.deliver("alice", mail(1));

    Traces traces;
    RecordingBoxes boxes;
    ScriptedFiles files;
    RecordingDialogs dialogs;
    NoDialUp dial_up;
    NoPowerOff power;
    app::AppOptions o;
    o.dir = dir;
    o.instance_name = QStringLiteral("pelliwick-oauth-test-%1").arg(::getpid());
    o.first_run_marker = temp.path() / "first-run-done";
    (void)write_file_atomic(o.first_run_marker, "");
    o.autostart_config_dir = temp.path() / "config";
    o.view_state_file = QString::fromStdString((temp.path() / "window.conf").string());
    o.boxes = &boxes;
    o.files = &files;
    o.power_off = &power;
    o.dial_up = &dial_up;
    o.dialogs = &dialogs;
    o.pop3_trace = traces.sink();
    o.smtp_trace = traces.sink();
    app::CPelliwickApp app(std::move(o));
    QVERIFY(app.start());
    app::CMainFrame* frame = app.frame();
    QTreeWidgetItem* item = frame->tree()->root()->child(0);
    QCOMPARE(item->text(0), QString::fromStdString(kAddress));

    RunOutcome outcome = check_all(frame);
    QVERIFY2(outcome.ok(), outcome.checks.empty() ? "no check" : outcome.checks[0].reason.c_str());
    QCOMPARE(pop_.message_count("alice"), size_t{0});
    // The forward and the reply, each signed in with the token.
    QVERIFY(smtp_->wait_for_mails(sent_before + 2));
    std::vector<std::string> recipients;
    for (size_t i = sent_before; i < smtp_->mails().size(); ++i) {
      const test::ReceivedMail m = smtp_->mails()[i];
      QVERIFY(m.tls);
      QCOMPARE(m.login, std::string("alice"));
      recipients.insert(recipients.end(), m.recipients.begin(), m.recipients.end());
    }
    std::sort(recipients.begin(), recipients.end());
    QCOMPARE(recipients, (std::vector<std::string>{"friend@example.test", "s1@example.test"}));
    QCOMPARE(auth_->stat("refreshes"), refreshes + 1);
    const OAuthMailbox after = tokens(dir);
    QVERIFY(after.refresh_token != before.refresh_token && !after.refresh_token.empty());
    QVERIFY(after.expires_at > static_cast<int64_t>(std::time(nullptr)) + 3000);
    // The token is too long for the AUTH line: it follows the empty challenge.
    QVERIFY(traces.has("C: AUTH XOAUTH2") && traces.has("C: ****"));
    const std::vector<std::string> secrets{before.access_token, before.refresh_token, after.access_token,
                                           after.refresh_token};
    QCOMPARE(traces.leak(secrets), std::string());
    for (const LogRecord& rec : app.log().records())
      for (const std::string& s : secrets) QVERIFY(rec.operation.find(s) == std::string::npos);
    QCOMPARE(item->text(0), QString::fromStdString(kAddress));

    QVERIFY(auth_->control("revoke"));
    expire(dir);
    pop_.deliver("alice", mail(2));
    outcome = check_all(frame);
    QVERIFY(!outcome.ok());
    QCOMPARE(outcome.checks.size(), size_t{1});
    QVERIFY2(outcome.checks[0].reason.find(res::text(sid::kSignInAgain)) != std::string::npos, outcome.checks[0].reason.c_str());
    QCOMPARE(pop_.message_count("alice"), size_t{1});
    QCOMPARE(item->text(0), QString::fromStdString(kAddress) + text(sid::kNeedsSignIn));
    // The error notice says so too, once.
    QCOMPARE(dialogs.notices.size(), 1);
    QVERIFY(dialogs.notices[0].contains(text(sid::kSignInAgain)));
    app.exit();
  }

  // Remote management lists and deletes with the token, as does the
  // download of a whole mail; the token never reaches the protocol log.
  void remoteManagementAndDownloadSignInWithTheToken() {
    test::TempDir temp;
    const ProgramDir dir = signed_in(temp);
    const OAuthMailbox grant = tokens(dir);
    for (int k = 1; k <= 2; ++k) pop_.deliver("alice", mail(k));
    RecordingBoxes boxes;
    MailboxList list(dir);
    (void)list.load([](uint32_t) { return true; });
    std::shared_ptr<MailboxAccount> account = list.at(0);
    QVERIFY(account);
    SystemClock clock;
    OperationLog log(dir, clock);
    LocalMailIndex local(dir, clock);
    log.load_current_month();
    local.load_current_month();
    NoStatus status;
    RecordingDialogs dialogs;
    QtEngineHost host(nullptr, status, boxes, dialogs);
    Traces traces;
    const Pop3Options pop3{.trace = traces.sink(), .oauth = std::make_shared<const OAuthAccess>(dir)};

    RemoteServices services{host, log, local, clock, boxes};
    services.pop3 = pop3;
    CRemoteManager dialog(account, CRemoteManager::Mode::all_mails, services);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.operate_button()->isEnabled(), 20000);
    QVERIFY2(dialogs.notices.isEmpty(), qPrintable(dialogs.notices.join('\n')));
    QCOMPARE(dialog.row_count(), size_t{2});
    const std::string uid = dialog.row(1).summary().uid;
    dialog.list()->topLevelItem(0)->setSelected(true);
    dialog.toggle('D')->click();
    dialog.operate_button()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 20000);
    QCOMPARE(pop_.message_count("alice"), size_t{1});

    CDownloadDialog download({Pop3Account::of(account->record()), uid}, pop3);
    QCOMPARE(download.exec(), int(DownloadResult::Outcome::downloaded));
    QCOMPARE(download.result().text, test::DovecotServer::wire_form(mail(2)));
    for (const char* line : {"C: AUTH XOAUTH2", "C: ****", "C: DELE 1", "C: RETR 1"})
      QVERIFY2(traces.has(line), line);
    QCOMPARE(traces.leak({grant.access_token, grant.refresh_token}), std::string());
  }
};

QTEST_MAIN(OAuthWindowTest)
#include "oauth_window_test.moc"
