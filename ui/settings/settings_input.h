#pragma once
// Reading the settings dialog's typed values, testable without the dialog.
#include <QString>

#include <optional>

namespace pw::ui {

struct ClockTime {
  int hour = 0;
  int minute = 0;
};

// A whole number as typed: blanks around it and a sign are allowed,
// anything else is not.
[[nodiscard]] std::optional<int> read_whole_number(const QString& text);

// "H:M" read as two integers around ':' (so "7:5" is 07:05), the hour
// 0..23 and the minute 0..59; nullopt otherwise.
[[nodiscard]] std::optional<ClockTime> read_shutdown_time(const QString& text);

// A phone number is one or more of the digits 0 to 9.
[[nodiscard]] bool phone_number_valid(const QString& text);

}  // namespace pw::ui
