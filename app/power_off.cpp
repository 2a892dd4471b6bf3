#include "app/power_off.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace pw::app {

void LogindPowerOff::power_off() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
  // false: no interactive authorisation prompt, as nobody is left to answer it.
  call << false;
  (void)QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
}

}  // namespace pw::app
