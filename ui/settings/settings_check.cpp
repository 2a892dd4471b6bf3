#include "ui/settings/settings_check.h"

#include <charconv>
#include <cstdio>

#include "base/safe_name.h"
#include "mail/address_list.h"
#include "res/string_ids.h"
#include "stores/address_book.h"
#include "stores/mailbox_list.h"

namespace pw::ui {

std::optional<int> read_whole_number(std::string_view text) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<ClockTime> read_shutdown_time(const std::string& text) {
  ClockTime t;
  // sscanf's "%d:%d": blanks before each number, nothing between the first
  // number and ':'; what follows the minute is not looked at.
  if (std::sscanf(text.c_str(), "%d:%d", &t.hour, &t.minute) != 2) return std::nullopt;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59) return std::nullopt;
  return t;
}

bool phone_number_valid(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<FormFailure<SettingsField>> check_settings(const SettingsForm& form) {
  using F = SettingsField;
  const std::optional<int> interval = read_whole_number(form.interval);
  if (!interval) return FormFailure<F>{F::interval, sid::kNotANumber};
  // A zero or negative interval would start one check after another.
  if (*interval < 1) return FormFailure<F>{F::interval, sid::kIntervalTooSmall};
  const std::optional<int> months = read_whole_number(form.months);
  if (!months) return FormFailure<F>{F::months, sid::kNotANumber};
  if (*months < kMonthsMin || *months > kMonthsMax) return FormFailure<F>{F::months, sid::kNotInRange};
  if (form.auto_dial) {
    if (form.dial_entry.empty()) return FormFailure<F>{F::dial_entry, sid::kNoDialUpEntry};
    if (!phone_number_valid(form.phone)) return FormFailure<F>{F::phone, sid::kBadPhone};
  }
  if (form.auto_shutdown && !read_shutdown_time(form.shutdown_time))
    return FormFailure<F>{F::shutdown_time, sid::kBadShutdownTime};
  if (form.login_password && (form.password.empty() || form.password != form.confirmation))
    return FormFailure<F>{F::password, sid::kBadLoginPassword};
  return std::nullopt;
}

std::optional<FormFailure<MailboxField>> check_mailbox(const MailboxForm& form, const MailboxList& accounts) {
  using F = MailboxField;
  if (!is_acceptable_address(form.address)) return FormFailure<F>{F::address, sid::kBadAddress};
  if (form.new_account) {
    // The address names the account's seen-mail file: one that cannot be a
    // file name would leave the account without one, and every mail would
    // be new again after a restart.
    if (!is_safe_file_name(form.address + ".uid")) return FormFailure<F>{F::address, sid::kBadAddress};
    if (accounts.find(form.address)) return FormFailure<F>{F::address, sid::kMailboxExists};
  }
  if (form.login_name.empty()) return FormFailure<F>{F::login_name, sid::kBadLoginName};
  if (!form.oauth && form.password.empty()) return FormFailure<F>{F::password, sid::kBadPassword};
  if (form.pop_server.find('.') == std::string::npos) return FormFailure<F>{F::pop_server, sid::kBadPopServer};
  if (form.smtp_server.find('.') == std::string::npos) return FormFailure<F>{F::smtp_server, sid::kBadSmtpServer};
  if (form.own_smtp_credentials) {
    if (form.smtp_login_name.empty()) return FormFailure<F>{F::smtp_login_name, sid::kBadSmtpLoginName};
    if (!form.oauth && form.smtp_password.empty()) return FormFailure<F>{F::smtp_password, sid::kBadSmtpPassword};
  }
  return std::nullopt;
}

std::optional<int> check_contact(std::string_view address) {
  if (!is_acceptable_address(address)) return sid::kNotAnAddress;
  return std::nullopt;
}

std::optional<int> check_group(std::string_view name, const AddressBook& book) {
  if (book.find_group(name)) return sid::kGroupExists;
  return std::nullopt;
}

}  // namespace pw::ui
