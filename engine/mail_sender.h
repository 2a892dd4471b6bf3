#pragma once
// The three ways the actions send mail, on a mailbox account: through its
// SMTP server to a whole stored recipient list in one transaction, through it
// to one recipient with the notice the user sees when that fails, and
// directly to the exchangers of the recipient's domain. None retries; the
// caller falls back. SMTP log-in data the user corrects on the way is kept in
// the account.
#include <string_view>

#include "net/smtp_delivery.h"

namespace pw {

class ActionHost;
class MailboxAccount;

class MailSender {
 public:
  explicit MailSender(SmtpDeliveryOptions options = {}) : options_(std::move(options)) {}

  [[nodiscard]] bool send_to_list(MailboxAccount& account, std::string_view list, std::string_view message) const;
  [[nodiscard]] bool send_through_account(MailboxAccount& account, std::string_view recipient,
                                          std::string_view message, ActionHost& host) const;
  [[nodiscard]] bool direct_delivery(const MailboxAccount& account, std::string_view recipient,
                                     std::string_view message) const;

 private:
  [[nodiscard]] SmtpAccount smtp_account(const MailboxAccount& account) const;
  static void keep_correction(const SmtpAccount& smtp, MailboxAccount& account);

  SmtpDeliveryOptions options_;
};

}  // namespace pw
