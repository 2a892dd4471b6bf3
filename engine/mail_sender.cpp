#include "engine/mail_sender.h"

#include "engine/action_host.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"

namespace pw {

SmtpAccount MailSender::smtp_account(const MailboxAccount& account) const {
  const MailboxRecord record = account.record();
  SmtpAccount smtp{account.address(), record.smtp_server,  record.smtp_auth == 1,
                   record.smtp_login_name, record.smtp_password, record.require_tls};
  // An OAuth 2.0 account always logs in, with its token, over TLS.
  if (record.uses_oauth()) {
    smtp.auth = true;
    smtp.require_tls = true;
    smtp.bearer = options_.bearer ? options_.bearer(record) : BearerSource([](bool) {
      return BearerToken{false, {}, res::text(sid::kSignInAgain)};
    });
  }
  return smtp;
}

void MailSender::keep_correction(const SmtpAccount& smtp, MailboxAccount& account) {
  const MailboxRecord record = account.record();
  if (smtp.login != record.smtp_login_name || smtp.password != record.smtp_password)
    account.set_smtp_login(smtp.login, smtp.password);
}

AccountSend MailSender::outcome(bool sent, const SmtpAccount& smtp) {
  if (sent) return {true, false, {}};
  return {false, may_deliver_directly(smtp), no_direct_delivery_text(smtp)};
}

AccountSend MailSender::send_to_list(MailboxAccount& account, std::string_view list,
                                     std::string_view message) const {
  SmtpAccount smtp = smtp_account(account);
  const bool ok = pw::send_to_list(options_, smtp, list, message);
  keep_correction(smtp, account);
  return outcome(ok, smtp);
}

AccountSend MailSender::send_through_account(MailboxAccount& account, std::string_view recipient,
                                             std::string_view message, ActionHost& host) const {
  SmtpAccount smtp = smtp_account(account);
  SmtpDeliveryOptions options = options_;
  options.notice = [&host](const std::string& title, const std::string& text) { host.notice(title, text); };
  const bool ok = send_through_account_with_notice(options, smtp, recipient, message);
  keep_correction(smtp, account);
  return outcome(ok, smtp);
}

bool MailSender::direct_delivery(const MailboxAccount& account, std::string_view recipient,
                                 std::string_view message) const {
  return pw::direct_delivery(options_, smtp_account(account), recipient, message);
}

}  // namespace pw
