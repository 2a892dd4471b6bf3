#pragma once
// One running program per user: the first instance listens on a local socket
// named after the window title and the user, in a directory of the user's
// own; a later one connects, sends the show request and ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace pw::app {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The socket path for `title` and the current user.
  [[nodiscard]] static QString name_for(const QString& title);

  explicit SingleInstance(QString name, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when another instance answered and was sent the show request. Else
  // this instance starts listening (taking over a socket left by a crashed
  // one) and returns false.
  [[nodiscard]] bool hand_over_to_running();

 signals:
  // A later instance asked this one to show its main window.
  void show_requested();

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace pw::app
