#include "ui/settings/settings_input.h"

#include <cstdio>

namespace pw::ui {

std::optional<int> read_whole_number(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<ClockTime> read_shutdown_time(const QString& text) {
  ClockTime t;
  // sscanf's "%d:%d": blanks before each number, nothing between the first
  // number and ':'; what follows the minute is not looked at.
  if (std::sscanf(text.toLatin1().constData(), "%d:%d", &t.hour, &t.minute) != 2) return std::nullopt;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59) return std::nullopt;
  return t;
}

bool phone_number_valid(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

}  // namespace pw::ui
