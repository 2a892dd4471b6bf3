#include "net/smtp_delivery.h"

#include <unistd.h>

#include "net/mx_lookup.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr int kTextErrorTitle = 61215;
constexpr int kTextSendFailedTryDirect = 61437;
constexpr size_t kMaxLocalHost = 79;
constexpr int kDirectPort = 25;

struct Connection {
  explicit Connection(const SmtpDeliveryOptions& options) : socket(options.timeout), session(socket) {
    session.set_password_prompt(options.password_prompt);
    session.set_trace(options.trace);
  }
  LineSocket socket;
  SmtpSession session;
};

// Opens the transaction: log-in (with `login`) or HELO, then MAIL FROM.
bool open_transaction(SmtpSession& session, const SmtpDeliveryOptions& options, std::string_view from,
                      const SmtpAccount* login) {
  if (login) {
    if (!session.ehlo_and_auth(options.local_host) || !session.auth_user(login->login) ||
        !session.auth_password(login->password))
      return false;
  } else if (!session.helo(options.local_host)) {
    return false;
  }
  return session.mail_from(from) == 1;
}

// DATA, the message in pieces, the end-of-data line.
bool transfer(SmtpSession& session, std::string_view message) {
  if (!session.data()) return false;
  for (size_t at = 0; at < message.size(); at += SmtpSession::kDataPiece) {
    if (session.send_data(message.substr(at, SmtpSession::kDataPiece)) < 0) return false;
  }
  return session.end_data() == 1;
}

// A log-in the user corrected in the password prompt goes back to the account.
void keep_corrected_login(const SmtpSession& session, SmtpAccount* login) {
  if (!login) return;
  if (!session.user_name().empty() && session.user_name() != login->login) login->login = session.user_name();
  if (!session.password().empty() && session.password() != login->password) login->password = session.password();
}

}  // namespace

std::string SmtpDeliveryOptions::local_host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string host(name);
  if (host.size() > kMaxLocalHost) host.resize(kMaxLocalHost);
  return host;
}

bool send_one(const SmtpDeliveryOptions& options, std::string_view server, std::string_view from,
              std::string_view recipient, std::string_view message, SmtpAccount* login) {
  Connection c(options);
  if (!c.session.connect(server)) return false;
  bool ok = open_transaction(c.session, options, from, login) && c.session.rcpt_to(recipient) == 1 &&
            transfer(c.session, message);
  (void)c.session.quit();
  keep_corrected_login(c.session, login);
  return ok;
}

bool send_to_list(const SmtpDeliveryOptions& options, SmtpAccount& account, std::string_view recipient_list,
                  std::string_view message) {
  Connection c(options);
  if (!c.session.connect(account.server)) return false;
  SmtpAccount* login = account.auth ? &account : nullptr;
  bool ok = open_transaction(c.session, options, account.address, login);
  if (ok) {
    int accepted = 0;
    size_t start = 0;
    for (size_t end; (end = recipient_list.find(';', start)) != std::string_view::npos; start = end + 1) {
      if (c.session.rcpt_to(recipient_list.substr(start, end - start)) == 1) ++accepted;
    }
    ok = accepted > 0 && transfer(c.session, message);
  }
  (void)c.session.quit();
  keep_corrected_login(c.session, login);
  return ok;
}

bool send_through_account_with_notice(const SmtpDeliveryOptions& options, SmtpAccount& account,
                                      std::string_view recipient, std::string_view message) {
  if (account.server.empty()) return false;
  if (send_one(options, account.server, account.address, recipient, message, account.auth ? &account : nullptr))
    return true;
  if (options.notice) options.notice(res::text(kTextErrorTitle), res::text(kTextSendFailedTryDirect));
  return false;
}

std::string recipient_domain(std::string_view recipient) {
  std::string address = SmtpSession::bare_address(recipient);
  size_t at = address.find('@');
  return at == std::string::npos ? std::string() : address.substr(at + 1);
}

bool direct_delivery(const SmtpDeliveryOptions& options, const SmtpAccount& account, std::string_view recipient,
                     std::string_view message) {
  std::string domain = recipient_domain(recipient);
  if (domain.empty()) return false;
  for (const std::string& exchanger : lookup_mx(domain).exchangers) {
    // Bracketed, so that nothing in an exchanger name can pick another port.
    std::string server = "[" + exchanger + "]:" + std::to_string(kDirectPort);
    if (send_one(options, server, account.address, recipient, message))
      return true;
  }
  return false;
}

}  // namespace pw
