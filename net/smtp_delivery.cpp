#include "net/smtp_delivery.h"

#include <unistd.h>

#include "base/text_lines.h"
#include "mail/address_list.h"
#include "net/mx_lookup.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr size_t kMaxLocalHost = 79;
constexpr int kDirectPort = 25;

void configure(SmtpSession& session, const SmtpDeliveryOptions& options, const TlsPolicy& tls) {
  session.set_login_prompt(options.login_prompt);
  session.set_trace(options.trace);
  session.set_tls(tls);
}

TlsPolicy account_tls(const SmtpAccount& account) { return {.required = account.require_tls, .verify = true}; }

// Opens the transaction: EHLO (and STARTTLS), the log-in with `login`, then
// MAIL FROM.
bool open_transaction(SmtpSession& session, const SmtpDeliveryOptions& options, std::string_view from,
                      const SmtpAccount* login) {
  if (!session.hello(options.local_host)) return false;
  if (login && login->bearer) {
    if (!session.log_in_bearer(login->login, login->bearer)) return false;
  } else if (login && !session.log_in(login->login, login->password)) {
    return false;
  }
  return session.mail_from(from) == 1;
}

// DATA, the message in pieces, the end-of-data line.
bool transfer(SmtpSession& session, std::string_view message) {
  return session.data() && send_message_pieces(session, message) && session.end_data() == 1;
}

// A log-in the user corrected in the password prompt goes back to the account.
void keep_corrected_login(const SmtpSession& session, SmtpAccount* login) {
  if (!login) return;
  if (!session.user_name().empty() && session.user_name() != login->login) login->login = session.user_name();
  if (!session.password().empty() && session.password() != login->password) login->password = session.password();
}

// send_one, keeping why it failed in `failure` when given.
bool send_session(const SmtpDeliveryOptions& options, std::string_view server, std::string_view from,
                  std::string_view recipient, std::string_view message, const TlsPolicy& tls, SmtpAccount* login,
                  SmtpAccount* failure) {
  SmtpSession session(options.timeout);
  configure(session, options, tls);
  // QUIT goes out after any greeting, a refusing one too; after a failed
  // connect or a lost reply the session sends nothing more.
  bool ok = session.connect(server) && open_transaction(session, options, from, login) &&
            session.rcpt_to(recipient) == 1 && transfer(session, message);
  if (!ok && failure) {
    failure->failure = session.error_text();
    failure->unreachable = session.unreachable();
  }
  (void)session.quit();
  keep_corrected_login(session, login);
  return ok;
}

}  // namespace

bool send_message_pieces(SmtpSession& session, std::string_view message) {
  for (size_t at = 0; at < message.size(); at += SmtpSession::kDataPiece) {
    if (session.send_data(message.substr(at, SmtpSession::kDataPiece)) < 0) return false;
  }
  return true;
}

std::string SmtpDeliveryOptions::local_host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string host(name);
  if (host.size() > kMaxLocalHost) host.resize(kMaxLocalHost);
  return host;
}

bool send_one(const SmtpDeliveryOptions& options, std::string_view server, std::string_view from,
              std::string_view recipient, std::string_view message, const TlsPolicy& tls, SmtpAccount* login) {
  return send_session(options, server, from, recipient, message, tls, login, nullptr);
}

bool send_to_list(const SmtpDeliveryOptions& options, SmtpAccount& account, std::string_view recipient_list,
                  std::string_view message) {
  account.failure.clear();
  account.unreachable = account.server.empty();
  if (account.server.empty()) return false;
  SmtpSession session(options.timeout);
  configure(session, options, account_tls(account));
  SmtpAccount* login = account.auth ? &account : nullptr;
  bool ok = session.connect(account.server) && open_transaction(session, options, account.address, login);
  if (ok) {
    int accepted = 0;
    for (const std::string& recipient : split_stored_list(recipient_list))
      if (session.rcpt_to(recipient) == 1) ++accepted;
    ok = accepted > 0 && transfer(session, message);
  }
  if (!ok) {
    account.failure = session.error_text();
    account.unreachable = session.unreachable();
  }
  (void)session.quit();
  keep_corrected_login(session, login);
  return ok;
}

bool send_through_account_with_notice(const SmtpDeliveryOptions& options, SmtpAccount& account,
                                      std::string_view recipient, std::string_view message) {
  account.failure.clear();
  account.unreachable = account.server.empty();
  if (account.server.empty()) return false;
  if (send_session(options, account.server, account.address, recipient, message, account_tls(account),
                   account.auth ? &account : nullptr, &account))
    return true;
  if (options.notice)
    options.notice(res::text(sid::kErrorTitle),
                   may_deliver_directly(account)
                       ? res::text(sid::kTryingDirectDelivery)
                       : res::text(sid::kSendFailed) + "\r\n" + no_direct_delivery_text(account, true));
  return false;
}

bool may_deliver_directly(const SmtpAccount& account) { return account.unreachable && !account.require_tls; }

std::string no_direct_delivery_text(const SmtpAccount& account, bool shown) {
  if (may_deliver_directly(account)) return {};
  auto text = [shown](int id) { return shown ? res::text(id) : res::record_text(id); };
  if (account.unreachable) return text(sid::kUnreachableButTlsRequired);
  // The refusing reply on one line, without its final line end. Session
  // reasons are kept in the records' language.
  std::string reason = single_line(shown ? res::displayed(account.failure) : account.failure);
  while (!reason.empty() && reason.back() == ' ') reason.pop_back();
  // '%' is never part of a multi-byte character in GB18030.
  std::string out = text(sid::kNotTakenNoDirect);
  if (const size_t at = out.find("%1"); at != std::string::npos) out.replace(at, 2, reason);
  return out;
}

std::optional<std::string> exchanger_server(std::string_view exchanger) {
  if (!is_host_name(exchanger)) return std::nullopt;
  return "[" + std::string(exchanger) + "]:" + std::to_string(kDirectPort);
}

bool direct_delivery(const SmtpDeliveryOptions& options, const SmtpAccount& account, std::string_view recipient,
                     std::string_view message) {
  // The domain of the bare address, so blanks around a typed address do not
  // end up in the query.
  std::optional<std::string> domain = mail_domain(sender_address(recipient));
  if (!domain || domain->empty()) return false;
  MxLookup mx = lookup_mx(*domain);
  if (mx.exchangers.empty() && mx.resolver_error == MxLookup::kNoMx) mx.exchangers.push_back(*domain);
  const TlsPolicy opportunistic{.required = false, .verify = false};
  for (const std::string& exchanger : mx.exchangers) {
    const std::optional<std::string> server = exchanger_server(exchanger);
    if (server && send_one(options, *server, account.address, recipient, message, opportunistic)) return true;
  }
  return false;
}

}  // namespace pw
