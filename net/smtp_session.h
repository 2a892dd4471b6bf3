#pragma once
// The client side of SMTP (RFC 5321) with AUTH LOGIN (RFC 4954) over one byte
// stream. Blocking, for a worker thread: every command sends one line and
// reads one whole reply. Multi-line replies ("250-..." up to "250 ...") are
// gathered into one, and bytes that arrive after a reply are kept for the
// next one. Results are 1 for success and 0 for a failure, whose reason is
// then in error_text(): the refusing reply as received, sid::kCannotConnect when the
// connection could not be made, sid::kConnectionBroken when no reply came.
//
//   SmtpSession smtp;                     // its own LineSocket, 20 s waits
//   if (smtp.connect("smtp.example.com") && smtp.helo(host) && smtp.mail_from(from) &&
//       smtp.rcpt_to(to) == 1 && smtp.data()) { smtp.send_data(text); ok = smtp.end_data(); }
//   (void)smtp.quit();
//
// Security: port 465 speaks TLS from the first byte. hello() sends EHLO and,
// over a stream that can do TLS, upgrades with STARTTLS (RFC 3207) when the
// server offers it; with TLS required a server without STARTTLS is refused
// before anything else is sent. A failed handshake ends the session.
//
// The reply to the end of the data may take 10 minutes (RFC 5321 4.5.3.2):
// a slow server is not a failure that would send the mail a second time.
//
// After a failure that leaves the conversation in an unknown state (no reply,
// a closed connection, a send that failed, a reply over the bound) the
// session sends nothing more: later commands, QUIT included, fail at once
// and keep the first reason, until connect starts afresh.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/bearer_login.h"
#include "net/line_socket.h"
#include "net/protocol_session.h"
#include "net/smtp_command.h"

namespace pw {

class SmtpSession : public ProtocolSession {
 public:
  static constexpr int kDefaultPort = 25;
  // Result of rcpt_to when the server refused the recipient.
  static constexpr int kRefused = -2;
  // Longest reply, all its lines together, the session gathers.
  static constexpr size_t kMaxReply = size_t{1} << 20;
  // Size of the pieces the sending procedures write a message in.
  static constexpr size_t kDataPiece = 2048;
  // How long the reply to the end of the data may take.
  static constexpr std::chrono::minutes kDataReplyWait{10};

  // Talks over a LineSocket of its own with the given bounded wait.
  explicit SmtpSession(std::chrono::milliseconds timeout = LineSocket::kDefaultTimeout);
  // Talks over `stream`, which must outlive the session.
  explicit SmtpSession(ByteStream& stream);
  ~SmtpSession();

  // How replies must keep moving (ReplyReader), for tests.
  void set_pace(const ReplyReader::Pace& pace) { reader_.set_pace(pace); }
  // The longest wait for the reply to the end of the data (tests shorten it).
  void set_data_reply_wait(std::chrono::milliseconds wait) { data_reply_wait_ = wait; }

  // Connects to a server field ("host" or "host:port", port 25 by default)
  // and reads the greeting; 220 expected.
  [[nodiscard]] int connect(std::string_view server);
  [[nodiscard]] int helo(std::string_view host);
  // EHLO, or HELO when the server refuses EHLO; then STARTTLS when offered
  // (or required) and EHLO again over TLS. Keeps the EHLO keywords.
  [[nodiscard]] int hello(std::string_view host);
  // Logs in with AUTH LOGIN, or with AUTH PLAIN when the server offers PLAIN
  // and not LOGIN; refusals go through the login prompt as auth_password.
  [[nodiscard]] int log_in(std::string_view name, std::string_view password);
  // Logs in with an OAuth 2.0 access token from `token`: AUTH OAUTHBEARER or
  // XOAUTH2, whichever the EHLO reply offers. When the server refuses the
  // token a renewed one is asked for and tried once more; no login prompt.
  [[nodiscard]] int log_in_bearer(std::string_view name, const BearerSource& token);
  // The keyword lines of the last EHLO reply ("SIZE 33554432", "AUTH LOGIN
  // PLAIN", ...), the greeting line left out; empty after HELO.
  [[nodiscard]] const std::vector<std::string>& keywords() const { return keywords_; }
  // Whether a keyword line starts with the word `keyword` (any case).
  [[nodiscard]] bool has_keyword(std::string_view keyword) const;
  // Whether the AUTH keyword lists `mechanism` (any case).
  [[nodiscard]] bool offers_auth(std::string_view mechanism) const;
  // EHLO (any reply is accepted), then AUTH LOGIN, which must get 334.
  [[nodiscard]] int ehlo_and_auth(std::string_view host);
  // The user name; 334 expected. Remembers the name.
  [[nodiscard]] int auth_user(std::string_view name);
  // The password; 235 expected. On a refusal the login prompt is asked and
  // the log-in repeated with its answer in a new AUTH LOGIN, for as long as
  // the user corrects; when the user gives up, or the corrected name is
  // refused, the remembered user name and password are emptied.
  [[nodiscard]] int auth_password(std::string_view password);
  [[nodiscard]] int mail_from(std::string_view address);
  // RCPT TO with the bare address of `address` (sender_address: a display
  // name and angle brackets are dropped). 1 accepted (250 or 251), kRefused (the reply
  // becomes the error text), 0 no reply or an address that cannot be sent.
  [[nodiscard]] int rcpt_to(std::string_view address);
  // DATA; 354 expected.
  [[nodiscard]] int data();
  // Message bytes after data(), in as many calls as the caller likes; lines
  // that begin with '.' go out with a second '.' (RFC 5321 4.5.2), and a
  // bare CR or LF goes out as CR LF, which is the only line end SMTP knows
  // (2.3.8); all other bytes are sent as given. Returns the count of bytes
  // written or a negative stream result.
  int send_data(std::string_view bytes);
  // "." on a line of its own, with CR LF before it only when the data did not
  // end with one, so the receiver gets the text byte for byte; 250 expected.
  [[nodiscard]] int end_data();
  // QUIT; 221 expected.
  [[nodiscard]] int quit();

 private:
  struct Reply {
    int code = 0;      // the number formed by the first three characters
    std::string text;  // every line, line ends included
  };

  // Sends `command` and reads its whole reply; false (error text set) when it
  // could not be sent or no whole reply came.
  // `wait`: how long the reply may take in all; 0 for the stream's one wait.
  bool exchange(const SmtpCommand& command, Reply& reply, std::chrono::milliseconds wait = {});
  bool read_reply(Reply& reply, std::chrono::milliseconds wait = {});
  int ehlo(std::string_view host);
  // AUTH PLAIN with the remembered log-in; the prompt on refusal.
  int send_plain();
  // exchange() and require `expected`; another code becomes the error text.
  int expect(const SmtpCommand& command, int expected, std::chrono::milliseconds wait = {});
  int correct_login();
  // One AUTH exchange with a bearer token: 1 accepted, 0 refused (reason
  // set), -1 the conversation failed.
  int auth_bearer(BearerMechanism m, std::string_view name, std::string_view token);

  std::vector<std::string> keywords_;
  bool plain_ = false;  // logging in with AUTH PLAIN
  std::chrono::milliseconds data_reply_wait_ = kDataReplyWait;
  std::string data_tail_;  // the last two data bytes sent since data()
  bool after_cr_ = false;  // the last byte given was a CR, already sent as CR LF
  size_t data_bytes_ = 0;  // data bytes given since data(), for the trace
};

}  // namespace pw
