#include "app/desktop_notifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "engine/check_run.h"
#include "res/language.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::app {

std::optional<CheckNotification> check_notification(const RunOutcome& outcome) {
  if (!outcome.ran) return std::nullopt;
  QStringList lines;
  size_t acted = 0;
  for (const auto& [address, mails] : outcome.acted) {
    acted += mails;
    lines << ui::text(sid::kAccountLine).arg(ui::from_gb(address)).arg(mails);
  }
  if (outcome.dial_failed) lines << ui::text(sid::kDialFailed);
  // An account stopped because its files could not be written failed its check as well.
  if (const size_t failed = outcome.scans_failed + outcome.stores_failed; failed > 0)
    lines << ui::text(sid::kScansFailed).arg(failed);
  // Each failed mailbox with its reason, so the notice alone says what to fix.
  for (const AccountCheck& check : outcome.checks)
    if (check.result == AccountCheck::Result::failed)
      lines << ui::text("%1：%2").arg(ui::from_gb(check.address), ui::from_gb(res::displayed(check.reason)));
  if (outcome.deletions_failed > 0) lines << ui::text(sid::kDeletionsFailed).arg(outcome.deletions_failed);
  if (lines.isEmpty()) return std::nullopt;
  const QString summary = outcome.ok() ? ui::text(sid::kActedSummary).arg(acted) : ui::text(sid::kFailedSummary);
  return CheckNotification{summary, lines.join(QLatin1Char('\n'))};
}

QDBusPendingCall DesktopNotifier::notify(const CheckNotification& notification) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("pelliwick")}};
  call << QStringLiteral("Pelliwick") << 0u << QStringLiteral("pelliwick") << notification.summary
       << notification.body << QStringList() << hints << -1;
  return bus_.asyncCall(call, 5000);
}

}  // namespace pw::app
