#pragma once
// The form checks of the settings, mailbox, contact and group dialogs, in the
// order each dialog runs them; only the first failure is shown. Fields are
// GB18030 bytes as typed.
#include <optional>
#include <string>
#include <string_view>

#include "ui/form_check.h"

namespace pw {
class AddressBook;
class MailboxList;
}  // namespace pw

namespace pw::ui {

// Reading typed values. A whole number: an optional sign and digits within
// the range of int (the caller drops the blanks around it).
[[nodiscard]] std::optional<int> read_whole_number(std::string_view text);

struct ClockTime {
  int hour = 0;
  int minute = 0;
};

// "H:M" read as two integers around ':' (so "7:5" is 07:05), the hour
// 0..23 and the minute 0..59; nullopt otherwise.
[[nodiscard]] std::optional<ClockTime> read_shutdown_time(const std::string& text);

// A phone number is one or more of the digits 0 to 9.
[[nodiscard]] bool phone_number_valid(std::string_view text);

inline constexpr int kMonthsMin = 1;
inline constexpr int kMonthsMax = 120;

struct SettingsForm {
  std::string interval;  // whole numbers without the blanks around them
  std::string months;
  bool auto_dial = false;
  std::string dial_entry;
  std::string phone;
  bool auto_shutdown = false;
  std::string shutdown_time;
  bool login_password = false;
  std::string password;
  std::string confirmation;
};

enum class SettingsField { interval, months, dial_entry, phone, shutdown_time, password };

// The whole numbers come first, the months also while purging is off. The
// range message (sid::kNotInRange) takes kMonthsMin and kMonthsMax as its arguments.
[[nodiscard]] std::optional<FormFailure<SettingsField>> check_settings(const SettingsForm& form);

struct MailboxForm {
  bool new_account = false;  // an existing account's address is fixed
  bool oauth = false;        // signed in through a provider: no passwords
  std::string address;
  std::string login_name;
  std::string password;
  std::string pop_server;
  std::string smtp_server;
  bool own_smtp_credentials = false;  // SMTP authentication with a login of its own
  std::string smtp_login_name;
  std::string smtp_password;
};

enum class MailboxField { address, login_name, password, pop_server, smtp_server, smtp_login_name, smtp_password };

// `accounts` is asked whether a new account's address exists already.
[[nodiscard]] std::optional<FormFailure<MailboxField>> check_mailbox(const MailboxForm& form,
                                                                     const MailboxList& accounts);

// A contact needs an acceptable address (sid::kNotAnAddress).
[[nodiscard]] std::optional<int> check_contact(std::string_view address);

// A new group's name must not name an existing group (sid::kGroupExists).
[[nodiscard]] std::optional<int> check_group(std::string_view name, const AddressBook& book);

}  // namespace pw::ui
