#pragma once
// Desktop notifications after a check (org.freedesktop.Notifications over
// the session D-Bus): how many mails the rules acted on, per mailbox, or that
// the check failed; at most one per check.
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QString>

#include <optional>

namespace pw {
struct RunOutcome;
}

namespace pw::app {

struct CheckNotification {
  QString summary;
  QString body;  // one line per mailbox or failure
};

// The notification a run's outcome calls for; none when the run acted on no
// mail and nothing failed (or it did not run).
[[nodiscard]] std::optional<CheckNotification> check_notification(const RunOutcome& outcome);

class DesktopNotifier {
 public:
  explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus()) : bus_(std::move(bus)) {}

  // Sends without waiting; the call may be waited for (a process about to
  // end). Without a notification service nothing is shown.
  QDBusPendingCall notify(const CheckNotification& notification);

 private:
  QDBusConnection bus_;
};

}  // namespace pw::app
