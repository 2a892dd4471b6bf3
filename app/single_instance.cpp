#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace pw::app {
namespace {

constexpr char kShowRequest[] = "SHOWMAIN\n";
constexpr int kWaitMs = 2000;

// A directory only this user can enter: no other user can have put a
// socket there first.
bool is_private_directory(const QString& dir) {
  struct stat st{};
  const QByteArray path = QFile::encodeName(dir);
  return !path.isEmpty() && path.startsWith('/') && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// Where the socket lives: $XDG_RUNTIME_DIR, else a 0700 directory in the
// user's cache directory, made for it. Never a directory others may write
// to such as /tmp, where another user could take the name first and keep
// the program from starting.
QString socket_directory() {
  const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
  if (is_private_directory(runtime)) return runtime;
  QString cache = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
  if (!cache.startsWith(QLatin1Char('/'))) cache = QDir::homePath() + QStringLiteral("/.cache");
  const QString own = cache + QStringLiteral("/pelliwick-run");
  const QByteArray path = QFile::encodeName(own);
  if (QDir().mkpath(QFileInfo(own).path())) (void)::mkdir(path.constData(), 0700);
  if (!is_private_directory(own)) {
    // Made by an older umask or copied with its mode: tightened when it is ours.
    struct stat st{};
    if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
      (void)::chmod(path.constData(), 0700);
  }
  return is_private_directory(own) ? own : QString();
}

}  // namespace

QString SingleInstance::name_for(const QString& title) {
  const QString name = title + QLatin1Char('-') + QString::number(::getuid());
  const QString dir = socket_directory();
  // Without a private directory (no home either) the name goes to Qt's
  // default place: still one instance, though not guarded against others.
  return dir.isEmpty() ? name : dir + QLatin1Char('/') + name;
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
