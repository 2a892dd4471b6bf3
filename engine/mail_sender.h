#pragma once
// The three ways the actions send mail: through the account's SMTP server to
// a whole recipient list in one transaction, through it to one recipient with
// the notice the user sees when it fails, and directly to the mail exchangers
// of the recipient's domain. None retries; the caller falls back.
#include <string>
#include <string_view>

#include "net/smtp_session.h"

namespace pw {

class ActionHost;
class MailboxAccount;

class MailSender {
 public:
  // `prompt` asks for corrected SMTP log-in data after a refused password
  // (none: a refusal fails the send). `local_host` is the name sent in HELO
  // and EHLO; empty takes the machine's host name.
  explicit MailSender(SmtpSession::PasswordPrompt prompt = {}, std::string local_host = {});

  // One transaction with one RCPT per entry of the stored list `list`
  // (entries end with ';'). Succeeds when at least one recipient was
  // accepted and the message was taken.
  [[nodiscard]] bool send_to_list(MailboxAccount& account, std::string_view list, std::string_view message) const;

  // One transaction to `recipient` through the account's server. A failure
  // shows the notice that direct delivery will be tried; an account without
  // an SMTP server fails without it.
  [[nodiscard]] bool send_through_account(MailboxAccount& account, std::string_view recipient,
                                          std::string_view message, ActionHost& host) const;

  // To the exchangers of the recipient's domain in resolver order, stopping
  // at the first that takes the mail. The envelope sender is the account.
  [[nodiscard]] bool direct_delivery(const MailboxAccount& account, std::string_view recipient,
                                     std::string_view message) const;

  [[nodiscard]] const std::string& local_host() const { return local_host_; }

 private:
  struct Login {
    std::string user;
    std::string password;
  };

  // HELO, or EHLO with AUTH LOGIN when there is a login.
  bool greet(SmtpSession& session, const Login* login) const;
  // DATA, the message, end of data.
  static bool transfer(SmtpSession& session, std::string_view message);
  bool send_one(std::string_view server, std::string_view from, std::string_view recipient,
                std::string_view message, const Login* login, MailboxAccount* account) const;
  // Keeps log-in data the user corrected during `session` in the account.
  static void keep_correction(const SmtpSession& session, MailboxAccount& account);

  SmtpSession::PasswordPrompt prompt_;
  std::string local_host_;
};

}  // namespace pw
