#pragma once
// The ways the program sends a mail: through a given server to one recipient,
// through an account's own SMTP server (to a list, or to one recipient with a
// notice when it fails), and directly to the mail exchangers of the
// recipient's domain.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/bearer_login.h"
#include "net/line_socket.h"
#include "net/login_prompt.h"
#include "net/protocol_trace.h"
#include "net/smtp_session.h"
#include "stores/mailbox_record.h"

namespace pw {

// What sending needs of a mailbox account. The procedures write a corrected
// SMTP log-in (from the password prompt) back into it; the caller copies it
// into its stored account.
struct SmtpAccount {
  std::string address;   // the account's e-mail address, sent as MAIL FROM
  std::string server;    // its SMTP server field, optionally "host:port"; empty: none
  bool auth = false;     // log in with AUTH LOGIN
  std::string login;     // SMTP user name
  std::string password;  // SMTP password
  bool require_tls = false;  // refuse a server that offers no TLS
  // Set for an account signed in with OAuth 2.0: its access tokens, used
  // with the login name instead of the password.
  BearerSource bearer;
  // Set by a send through the account's server that failed: why, and whether
  // the server could not be reached at all (or there is none), so that
  // nothing was said to it.
  std::string failure;
  bool unreachable = false;
};

struct SmtpDeliveryOptions {
  std::chrono::milliseconds timeout = LineSocket::kDefaultTimeout;
  // The name given in HELO and EHLO.
  std::string local_host = local_host_name();
  LoginPrompt login_prompt;  // empty: a refused password fails the send
  ProtocolTrace trace;       // empty: no protocol trace
  // The access tokens of an account that signs in with OAuth 2.0; empty:
  // such an account cannot log in.
  std::function<BearerSource(const MailboxRecord&)> bearer;
  // Shows the notice box (title, message) when sending through the account's
  // server failed; empty: no notice.
  std::function<void(const std::string& title, const std::string& message)> notice;

  // This machine's host name, at most 79 bytes ("localhost" when unknown).
  [[nodiscard]] static std::string local_host_name();
};

// The message after DATA, in pieces of SmtpSession::kDataPiece bytes; false
// when a piece could not be written.
[[nodiscard]] bool send_message_pieces(SmtpSession& session, std::string_view message);

// Sends `message` (a complete mail with CR LF line ends) from `from` to
// `recipient` through `server`, securing the connection as `tls` says. With
// `login`, logs in first (its login and password) and leaves a corrected
// user name or password in it. Ends with QUIT unless the connection failed or
// a reply was lost. True when the server took the mail.
[[nodiscard]] bool send_one(const SmtpDeliveryOptions& options, std::string_view server, std::string_view from,
                            std::string_view recipient, std::string_view message, const TlsPolicy& tls = {},
                            SmtpAccount* login = nullptr);

// One transaction through the account's server to every entry of a stored
// recipient list ("a;b;": each entry ends with ';', text after the last ';' is
// not an entry). True when at least one recipient was accepted and the server
// took the mail.
[[nodiscard]] bool send_to_list(const SmtpDeliveryOptions& options, SmtpAccount& account,
                                std::string_view recipient_list, std::string_view message);

// send_one through the account's server (logging in when the account says
// so). On failure shows a notice titled sid::kErrorTitle and returns false: sid::kTryingDirectDelivery when
// the caller is to try direct_delivery next, else why it is not to. False at
// once, without a notice, when the account has no server.
[[nodiscard]] bool send_through_account_with_notice(const SmtpDeliveryOptions& options, SmtpAccount& account,
                                                    std::string_view recipient, std::string_view message);

// Whether a mail that the account's server did not take may go to the
// recipient's exchangers instead: only when that server could not be reached
// (or there is none) and the account does not require TLS. Never after a TLS
// or certificate failure, which direct delivery cannot tell from an attack
// (it checks no exchanger's name), nor after the server refused the mail or
// the conversation broke off, when it may have taken the mail after all.
[[nodiscard]] bool may_deliver_directly(const SmtpAccount& account);
// Why a mail that the account's server did not take is not sent directly
// either; empty when it may be. In the records' language for the log, or
// (`shown`) in the program's language for a notice.
[[nodiscard]] std::string no_direct_delivery_text(const SmtpAccount& account, bool shown = false);

// The server field of the mail exchanger `exchanger`: its port 25, the name
// bracketed so that nothing in it picks another port. nullopt when it is no
// host name (is_host_name): an address literal, say, or a name with a port.
[[nodiscard]] std::optional<std::string> exchanger_server(std::string_view exchanger);

// Sends to the exchangers of the recipient's domain (port 25) in order of
// preference until one takes the mail, from the account's address and
// without logging in; a domain without MX records is its own exchanger
// (RFC 5321 5.1). STARTTLS is used when offered, without proof of the
// exchanger's name.
[[nodiscard]] bool direct_delivery(const SmtpDeliveryOptions& options, const SmtpAccount& account,
                                   std::string_view recipient, std::string_view message);

}  // namespace pw
