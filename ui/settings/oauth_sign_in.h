#pragma once
// The browser sign-in of OAuth 2.0: the authorization code flow with PKCE
// (RFC 7636, S256) and a loopback redirect to 127.0.0.1 on a free port
// (RFC 8252 7.3), with a random state checked on return. The code is then
// redeemed at the token endpoint on a worker thread.
//
// Qt 6.4's QOAuth2AuthorizationCodeFlow has no PKCE (that came with Qt 6.8),
// so this small flow listens with a QTcpServer of its own.
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "net/oauth_token.h"
#include "stores/oauth_store.h"

class QTcpSocket;

namespace pw::ui {

class OAuthSignIn : public QObject {
  Q_OBJECT

 public:
  explicit OAuthSignIn(QObject* parent = nullptr);
  ~OAuthSignIn() override;

  // Opens the browser at the address; false when nothing could (the caller
  // then shows the address to copy). QDesktopServices::openUrl by default.
  void set_browser(std::function<bool(const QUrl&)> open) { browser_ = std::move(open); }

  // Listens on the loopback address, builds the authorization address and
  // asks the browser to open it. False (failed() emitted) when no port could
  // be had or the client lacks an endpoint.
  bool start(const OAuthClient& client, const QString& login_hint);
  // The address the browser is asked to open (valid after start()).
  [[nodiscard]] const QUrl& authorization_url() const { return url_; }
  [[nodiscard]] bool browser_opened() const { return opened_; }

  // PKCE pieces, for tests: a verifier of 43 unreserved characters and its
  // S256 challenge.
  [[nodiscard]] static QByteArray make_verifier();
  [[nodiscard]] static QByteArray challenge_of(const QByteArray& verifier);

 signals:
  // The grant and the address the provider named (empty when it named none).
  void succeeded(const pw::TokenGrant& grant, const QString& address);
  void failed(const QString& reason);

 private:
  void on_connection();
  void on_request(QTcpSocket* socket);
  void redeem(const QString& code);
  void fail(const QString& reason);

  QTcpServer server_;
  OAuthClient client_;
  QByteArray verifier_;
  QByteArray state_;
  QString redirect_;
  QUrl url_;
  bool opened_ = false;
  std::function<bool(const QUrl&)> browser_;
  std::shared_ptr<bool> alive_;  // cleared when the flow goes, for the worker
};

}  // namespace pw::ui
