// The browser sign-in of the mailbox dialog against the fake authorization
// server: the test plays the browser, following the address the program
// wanted to open and the redirect back to its loopback listener.
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QUrlQuery>
#include <thread>

#include "engine/oauth_access.h"
#include "net/line_socket.h"
#include "stores/oauth_store.h"
#include "support/oauth_server.h"
#include "ui/settings/mailbox_dialog.h"
#include "ui/settings/oauth_sign_in.h"
#include "ui/ui_text.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

// GET `url` on loopback; the whole answer.
std::string http_get(const QUrl& url) {
  LineSocket socket(std::chrono::seconds(5));
  if (!socket.connect("127.0.0.1", url.port())) return {};
  const std::string request = "GET " + url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded).toStdString() +
                              " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  (void)socket.send(request);
  std::string answer;
  char buffer[4096];
  for (int n; (n = socket.receive(buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  return answer;
}

// The browsers the test played; joined when it ends, whatever happened.
struct Browsers {
  std::vector<std::thread> threads;
  std::string last_page;  // the page the last browser ended on
  void join() {
    for (std::thread& t : threads)
      if (t.joinable()) t.join();
  }
  ~Browsers() { join(); }
};

// The user's browser: the authorization page redirects at once (the user
// is taken as signed in), and the redirect goes back to the program.
bool play_browser(const QUrl& url, Browsers& browsers) {
  std::vector<std::thread>& threads = browsers.threads;
  threads.emplace_back([url, &browsers] {
    const std::string answer = http_get(url);
    const size_t at = answer.find("Location: ");
    if (at == std::string::npos) return;
    browsers.last_page =
        http_get(QUrl(QString::fromStdString(answer.substr(at + 10, answer.find("\r\n", at) - at - 10))));
  });
  return true;
}

void enter_oauth_account(CMailboxDialog& d, const test::OAuthServer& auth) {
  d.findChild<QLineEdit*>("address")->setText("alice@home.test");
  d.findChild<QLineEdit*>("loginName")->setText("alice");
  d.findChild<QLineEdit*>("popServer")->setText("pop.home.test:995");
  d.findChild<QLineEdit*>("smtpServer")->setText("smtp.home.test:587");
  d.findChild<QComboBox*>("signIn")->setCurrentIndex(3);  // custom
  const OAuthClient c = auth.client();
  d.findChild<QLineEdit*>("authorizeUrl")->setText(QString::fromStdString(c.authorize_url));
  d.findChild<QLineEdit*>("tokenUrl")->setText(QString::fromStdString(c.token_url));
  d.findChild<QLineEdit*>("scope")->setText(QString::fromStdString(c.scope));
  d.findChild<QLineEdit*>("clientId")->setText(QString::fromStdString(c.client_id));
}

QString state_text(CMailboxDialog& d) { return d.findChild<QLabel*>("signInState")->text(); }

}  // namespace

class OAuthSignInTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void firstSignInFromTheDialogStoresTheGrantPrivately() {
    test::OAuthServer auth;
    QVERIFY(auth.running());
    Stores s;
    Browsers browser;
    QUrl opened;
    {
      CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
      dialog.set_browser([&](const QUrl& url) { return opened = url, play_browser(url, browser); });
      enter_oauth_account(dialog, auth);
      QVERIFY(!dialog.findChild<QLineEdit*>("password")->isEnabled());
      dialog.findChild<QPushButton*>("signInButton")->click();
      QTRY_VERIFY2_WITH_TIMEOUT(state_text(dialog).startsWith(ui::text(sid::kSignedInAs)), qPrintable(state_text(dialog)), 10000);
      QCOMPARE(state_text(dialog), ui::text(sid::kSignedInAs) + "alice@home.test");
      dialog.findChild<QPushButton*>("ok")->click();
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      const MailboxRecord r = dialog.record();
      QCOMPARE(r.sign_in, MailboxRecord::SignIn::custom);
      QVERIFY(r.require_tls);
      QVERIFY(r.password.empty());
    }
    // The PKCE flow as sent: S256 challenge, a loopback redirect, a state.
    const QUrlQuery query(opened);
    QCOMPARE(query.queryItemValue("code_challenge_method"), QString("S256"));
    QCOMPARE(query.queryItemValue("code_challenge").size(), 43);
    QVERIFY(query.queryItemValue("redirect_uri", QUrl::FullyDecoded).startsWith("http://127.0.0.1:"));
    QVERIFY(query.queryItemValue("state").size() >= 16);
    const OAuthStore store(s.mailboxes.program_dir());
    const OAuthFile file = store.load();
    QVERIFY(!OAuthAccess::needs_sign_in(file, "alice@home.test"));
    QCOMPARE(file.mailbox("alice@home.test")->custom, auth.client());
    QCOMPARE(auth.stat("codes"), 1);
    // The browser's page tells the user to go back to the program.
    browser.join();
    QVERIFY(browser.last_page.find(ui::text(sid::kAuthorizationReceived).toHtmlEscaped().toStdString()) != std::string::npos);
    struct stat st {};
    QCOMPARE(::stat(store.path().c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
  }

  void redirectWithAnotherStateIsRefused() {
    test::OAuthServer auth(test::OAuthServer::Options{.wrong_state = true});
    QVERIFY(auth.running());
    Stores s;
    Browsers browser;
    {
      CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
      dialog.set_browser([&](const QUrl& url) { return play_browser(url, browser); });
      enter_oauth_account(dialog, auth);
      dialog.findChild<QPushButton*>("signInButton")->click();
      QTRY_VERIFY_WITH_TIMEOUT(state_text(dialog).startsWith(ui::text(sid::kSignInFailed)), 10000);
      QVERIFY(state_text(dialog).contains(ui::text(sid::kWrongState)));
      dialog.findChild<QPushButton*>("ok")->click();
    }
    QCOMPARE(auth.stat("codes"), 0);  // the code was never redeemed
    QVERIFY(OAuthAccess::needs_sign_in(OAuthStore(s.mailboxes.program_dir()).load(), "alice@home.test"));
  }

  void addressIsShownWhenNoBrowserOpens() {
    test::OAuthServer auth;
    Stores s;
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    dialog.set_browser([](const QUrl&) { return false; });
    enter_oauth_account(dialog, auth);
    dialog.findChild<QPushButton*>("signInButton")->click();
    auto* address = dialog.findChild<QLineEdit*>("signInAddress");
    QVERIFY(!address->isHidden());
    QVERIFY(address->text().startsWith(QString::fromStdString(auth.url("/authorize?"))));
    QCOMPARE(state_text(dialog), ui::text(sid::kCopyAddress));
  }
};

QTEST_MAIN(OAuthSignInTest)
#include "oauth_sign_in_test.moc"
