#include "engine/mail_sender.h"

#include <unistd.h>

#include "engine/action_host.h"
#include "mail/address_list.h"
#include "net/line_socket.h"
#include "net/mx_lookup.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"

namespace pw {

namespace {

constexpr size_t kMaxHostName = 79;

std::string machine_host_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string out(name);
  if (out.size() > kMaxHostName) out.resize(kMaxHostName);
  return out;
}

}  // namespace

MailSender::MailSender(SmtpSession::PasswordPrompt prompt, std::string local_host)
    : prompt_(std::move(prompt)), local_host_(local_host.empty() ? machine_host_name() : std::move(local_host)) {}

bool MailSender::greet(SmtpSession& session, const Login* login) const {
  if (!login) return session.helo(local_host_) == 1;
  return session.ehlo_and_auth(local_host_) == 1 && session.auth_user(login->user) == 1 &&
         session.auth_password(login->password) == 1;
}

bool MailSender::transfer(SmtpSession& session, std::string_view message) {
  if (session.data() != 1) return false;
  if (session.send_data(message) < 0) return false;
  return session.end_data() == 1;
}

bool MailSender::send_one(std::string_view server, std::string_view from, std::string_view recipient,
                          std::string_view message, const Login* login, MailboxAccount* account) const {
  LineSocket socket;
  SmtpSession session(socket);
  if (login) session.set_password_prompt(prompt_);
  bool ok = false;
  if (session.connect(server) == 1) {
    ok = greet(session, login) && session.mail_from(from) == 1 && session.rcpt_to(recipient) == 1 &&
         transfer(session, message);
    (void)session.quit();
  }
  if (login && account) keep_correction(session, *account);
  return ok;
}

bool MailSender::send_to_list(MailboxAccount& account, std::string_view list, std::string_view message) const {
  const MailboxRecord record = account.record();
  if (record.smtp_server.empty()) return false;
  const Login login{record.smtp_login_name, record.smtp_password};
  const Login* auth = record.smtp_auth == 1 ? &login : nullptr;

  LineSocket socket;
  SmtpSession session(socket);
  if (auth) session.set_password_prompt(prompt_);
  if (session.connect(record.smtp_server) != 1) return false;
  bool ok = false;
  if (greet(session, auth) && session.mail_from(account.address()) == 1) {
    int accepted = 0;
    for (const std::string& entry : split_stored_list(list)) {
      if (session.rcpt_to(entry) == 1) ++accepted;
    }
    ok = accepted > 0 && transfer(session, message);
  }
  (void)session.quit();
  if (auth) keep_correction(session, account);
  return ok;
}

bool MailSender::send_through_account(MailboxAccount& account, std::string_view recipient,
                                      std::string_view message, ActionHost& host) const {
  const MailboxRecord record = account.record();
  if (record.smtp_server.empty()) return false;
  const Login login{record.smtp_login_name, record.smtp_password};
  if (send_one(record.smtp_server, account.address(), recipient, message, record.smtp_auth == 1 ? &login : nullptr,
               &account))
    return true;
  host.notice(res::text(61215), res::text(61437));
  return false;
}

bool MailSender::direct_delivery(const MailboxAccount& account, std::string_view recipient,
                                 std::string_view message) const {
  const std::optional<std::string> domain = mail_domain(recipient);
  if (!domain || domain->empty()) return false;
  const MxLookup mx = lookup_mx(*domain);
  for (const std::string& exchanger : mx.exchangers) {
    if (send_one(exchanger, account.address(), recipient, message, nullptr, nullptr)) return true;
  }
  return false;
}

void MailSender::keep_correction(const SmtpSession& session, MailboxAccount& account) {
  const MailboxRecord record = account.record();
  std::string user = record.smtp_login_name;
  std::string password = record.smtp_password;
  if (!session.user_name().empty()) user = session.user_name();
  if (!session.password().empty()) password = session.password();
  if (user != record.smtp_login_name || password != record.smtp_password) account.set_smtp_login(user, password);
}

}  // namespace pw
