#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace pw::app {
namespace {

constexpr char kShowRequest[] = "SHOWMAIN\n";
constexpr int kWaitMs = 2000;

}  // namespace

QString SingleInstance::name_for(const QString& title) {
  return title + QLatin1Char('-') + QString::number(::getuid());
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::hand_over_to_running() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (socket.waitForConnected(kWaitMs)) {
    socket.write(kShowRequest);
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // Nobody answered, so the socket file is a crashed instance's.
    QLocalServer::removeServer(name_);
    (void)server_->listen(name_);
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->canReadLine() && peer->readLine() == kShowRequest) emit show_requested();
      });
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (peer->bytesAvailable() > 0) emit peer->readyRead();
    }
  });
  return false;
}

}  // namespace pw::app
