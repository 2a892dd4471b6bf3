#pragma once
// The three ways the actions send mail, on a mailbox account: through its
// SMTP server to a whole stored recipient list in one transaction, through it
// to one recipient with the notice the user sees when that fails, and
// directly to the exchangers of the recipient's domain. None retries; the
// caller falls back to direct delivery when the result allows it. SMTP
// log-in data the user corrects on the way is kept in the account.
#include <string>
#include <string_view>

#include "net/smtp_delivery.h"

namespace pw {

class ActionHost;
class MailboxAccount;

// What a send through the account's server came to.
struct AccountSend {
  bool sent = false;
  // Not sent: whether the mail may go directly to the recipients' exchangers
  // (the server could not be reached and the account does not require TLS)
  // and, when it may not, why, for the log.
  bool may_go_direct = false;
  std::string no_direct;
};

class MailSender {
 public:
  explicit MailSender(SmtpDeliveryOptions options = {}) : options_(std::move(options)) {}

  [[nodiscard]] AccountSend send_to_list(MailboxAccount& account, std::string_view list,
                                         std::string_view message) const;
  [[nodiscard]] AccountSend send_through_account(MailboxAccount& account, std::string_view recipient,
                                                 std::string_view message, ActionHost& host) const;
  [[nodiscard]] bool direct_delivery(const MailboxAccount& account, std::string_view recipient,
                                     std::string_view message) const;

 private:
  [[nodiscard]] SmtpAccount smtp_account(const MailboxAccount& account) const;
  static void keep_correction(const SmtpAccount& smtp, MailboxAccount& account);
  [[nodiscard]] static AccountSend outcome(bool sent, const SmtpAccount& smtp);

  SmtpDeliveryOptions options_;
};

}  // namespace pw
