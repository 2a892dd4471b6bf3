#include "ui/settings/oauth_sign_in.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QMetaObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QUrlQuery>
#include <thread>

#include "res/language.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr qsizetype kMaxRequest = 16 * 1024;

QByteArray random_text(int bytes) {
  QByteArray raw(bytes, Qt::Uninitialized);
  QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(raw.data()),
                                       reinterpret_cast<quint32*>(raw.data() + bytes));
  return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

void answer(QTcpSocket* socket, int status, const QString& text) {
  const QByteArray body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Pelliwick</title></head><body><p>" +
                          text.toHtmlEscaped().toUtf8() + "</p></body></html>";
  QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Bad Request") +
                    "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n";
  socket->write(head + body);
  socket->disconnectFromHost();
}

}  // namespace

OAuthSignIn::OAuthSignIn(QObject* parent) : QObject(parent), alive_(std::make_shared<bool>(true)) {
  browser_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  connect(&server_, &QTcpServer::newConnection, this, &OAuthSignIn::on_connection);
}

OAuthSignIn::~OAuthSignIn() { *alive_ = false; }

QByteArray OAuthSignIn::make_verifier() { return random_text(32); }  // 43 characters

QByteArray OAuthSignIn::challenge_of(const QByteArray& verifier) {
  return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
      .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool OAuthSignIn::start(const OAuthClient& client, const QString& login_hint) {
  client_ = client;
  QUrl authorize(QString::fromStdString(client.authorize_url));
  if (!authorize.isValid() || authorize.scheme().isEmpty() || client.token_url.empty()) {
    fail(from_gb(client.authorize_url));
    return false;
  }
  // Only the loopback interface: nothing on the network can hand in a code.
  if (!server_.listen(QHostAddress::LocalHost, 0)) {
    fail(server_.errorString());
    return false;
  }
  verifier_ = make_verifier();
  state_ = random_text(16);
  redirect_ = QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort());
  QUrlQuery query(authorize);
  query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
  query.addQueryItem(QStringLiteral("client_id"), QString::fromStdString(client.client_id));
  query.addQueryItem(QStringLiteral("redirect_uri"), redirect_);
  query.addQueryItem(QStringLiteral("scope"), QString::fromStdString(client.scope));
  query.addQueryItem(QStringLiteral("state"), QString::fromLatin1(state_));
  query.addQueryItem(QStringLiteral("code_challenge"), QString::fromLatin1(challenge_of(verifier_)));
  query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
  if (!login_hint.isEmpty()) query.addQueryItem(QStringLiteral("login_hint"), login_hint);
  // QUrlQuery leaves '+' and ':' alone; the endpoints want them encoded.
  authorize.setQuery(query.query(QUrl::FullyEncoded).replace(QLatin1Char('+'), QLatin1String("%2B")),
                     QUrl::StrictMode);
  url_ = authorize;
  opened_ = browser_(url_);
  return true;
}

void OAuthSignIn::cancel() {
  server_.close();
  *alive_ = false;
  alive_ = std::make_shared<bool>(true);
}

void OAuthSignIn::on_connection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { on_request(socket); });
  }
}

void OAuthSignIn::on_request(QTcpSocket* socket) {
  const QByteArray seen = socket->property("request").toByteArray() + socket->readAll();
  socket->setProperty("request", seen);
  if (seen.size() > kMaxRequest) return socket->abort();
  if (!seen.contains("\r\n\r\n")) return;
  // "GET /?code=...&state=... HTTP/1.1"
  const QList<QByteArray> words = seen.left(seen.indexOf("\r\n")).split(' ');
  if (words.size() < 3 || words[0] != "GET") return answer(socket, 400, QString());
  const QUrl target(QString::fromLatin1(words[1]));
  const QUrlQuery query(target);
  if (!query.hasQueryItem(QStringLiteral("state"))) return answer(socket, 400, QString());  // a favicon, say
  const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
  if (state.toLatin1() != state_) {
    const QString reason = ui::text(sid::kWrongState);
    answer(socket, 400, reason);
    server_.close();
    return fail(reason);
  }
  server_.close();
  if (query.hasQueryItem(QStringLiteral("error"))) {
    QString reason = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    const QString more = query.queryItemValue(QStringLiteral("error_description"), QUrl::FullyDecoded);
    if (!more.isEmpty()) reason += QLatin1Char(' ') + more;
    answer(socket, 400, ui::text(sid::kSignInFailed) + reason);
    return fail(reason);
  }
  answer(socket, 200, ui::text(sid::kAuthorizationReceived));
  redeem(query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded));
}

// The token endpoint may take its bounded wait: off the window's thread.
void OAuthSignIn::redeem(const QString& code) {
  QPointer<OAuthSignIn> self(this);
  std::shared_ptr<bool> alive = alive_;
  std::thread([self, alive, client = client_, code = code.toStdString(), verifier = verifier_.toStdString(),
               redirect = redirect_.toStdString(), streams = streams_] {
    TokenReply reply = code_grant(client, code, verifier, redirect, streams);
    QMetaObject::invokeMethod(
        qApp, [self, alive, reply] {
          if (!self || !*alive) return;
          if (reply.outcome != TokenReply::Outcome::granted) return self->fail(from_gb(res::displayed(reply.error)));
          emit self->succeeded(reply.grant, QString::fromStdString(id_token_address(reply.grant.id_token)));
        },
        Qt::QueuedConnection);
  }).detach();
}

void OAuthSignIn::fail(const QString& reason) { emit failed(reason); }

}  // namespace pw::ui
