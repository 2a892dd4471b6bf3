#pragma once
// The client side of SMTP (RFC 5321) with AUTH LOGIN (RFC 4954) over one byte
// stream. Every command sends one line and reads one whole reply; multi-line
// replies ("250-..." up to "250 ...") are gathered, and bytes that arrive
// after a reply are kept for the next one.
#include <functional>
#include <string>
#include <string_view>

#include "net/byte_stream.h"

namespace pw {

class SmtpSession {
 public:
  static constexpr int kDefaultPort = 25;
  // Result of rcpt_to when the server refused the recipient.
  static constexpr int kRefused = -2;
  // Longest command line, CR LF included; longer arguments are refused unsent.
  static constexpr size_t kMaxCommandLine = 255;
  // Longest reply (all its lines) the session gathers before giving up.
  static constexpr size_t kMaxReply = 1 << 20;
  // Size of the pieces the message data is written in.
  static constexpr size_t kDataPiece = 2048;

  // Asks the user for corrected log-in data after a refused password: gets the
  // current user name and password to edit, returns false when cancelled.
  using PasswordPrompt = std::function<bool(std::string& user, std::string& password)>;
  // Receives one protocol line at a time: "C: ..." sent, "S: ..." received,
  // with passwords masked.
  using TraceSink = std::function<void(std::string_view line)>;

  explicit SmtpSession(ByteStream& stream) : stream_(stream) {}
  SmtpSession(const SmtpSession&) = delete;
  SmtpSession& operator=(const SmtpSession&) = delete;

  void set_password_prompt(PasswordPrompt prompt) { prompt_ = std::move(prompt); }
  void set_trace(TraceSink trace) { trace_ = std::move(trace); }

  // All commands return 1 on success and 0 on failure, leaving the reason in
  // error_text(): the refusing reply as received, 61249 when the connection
  // could not be made, 61250 when no reply came.

  // Connects to a server field ("host" or "host:port", port 25 by default)
  // and reads the 220 greeting.
  [[nodiscard]] int connect(std::string_view server);
  [[nodiscard]] int helo(std::string_view host);
  // EHLO (any reply is accepted), then AUTH LOGIN, which must get 334.
  [[nodiscard]] int ehlo_and_auth(std::string_view host);
  // The user name in Base64; 334 expected. Remembers the name.
  [[nodiscard]] int auth_user(std::string_view name);
  // The password in Base64; 235 expected. On a refusal the password prompt is
  // asked and the log-in repeated with its answer (AUTH LOGIN, user,
  // password); a cancel empties the remembered user name and password.
  [[nodiscard]] int auth_password(std::string_view password);
  [[nodiscard]] int mail_from(std::string_view address);
  // RCPT TO with the bare address of `address` (a display name and angle
  // brackets are dropped). 1 accepted, kRefused (the reply is kept as the
  // error text), 0 no reply or unsendable address.
  [[nodiscard]] int rcpt_to(std::string_view address);
  // DATA; 354 expected.
  [[nodiscard]] int data();
  // Message bytes after data(), in as many calls as the caller likes: lines
  // that begin with '.' are sent with a second '.'. Returns the count of
  // bytes written to the stream or a negative stream result.
  int send_data(std::string_view bytes);
  // Ends the data with "." on a line of its own (adding CR LF first only when
  // the data did not end with one); 250 expected.
  [[nodiscard]] int end_data();
  [[nodiscard]] int quit();

  // The bare address of a recipient value: from the first '<' on when there
  // is one, without blanks, quotes and angle brackets ("Bob <bob@x.org>" ->
  // "bob@x.org"; a bare address stays as it is).
  [[nodiscard]] static std::string bare_address(std::string_view value);

  [[nodiscard]] const std::string& error_text() const { return error_; }
  // The log-in data last sent (the user's correction when there was one).
  [[nodiscard]] const std::string& user_name() const { return user_; }
  [[nodiscard]] const std::string& password() const { return password_; }

 private:
  struct Command {
    std::string wire;   // the line as sent, CR LF included
    std::string trace;  // the line as traced
  };
  struct Reply {
    int code = 0;       // the number formed by the first three characters
    std::string text;   // every line, CR LF included
  };

  // Sends `command` and reads its reply into `reply`; false (error text set)
  // when the command could not be sent or no whole reply came.
  bool exchange(const Command& command, Reply& reply);
  bool read_reply(Reply& reply);
  // exchange() and require `expected`; the reply becomes the error text otherwise.
  int expect(const Command& command, int expected);
  // The one place commands are built: `head` `argument` `tail` CR LF. A
  // secret argument is masked in the trace. An argument holding a line break
  // or NUL, or a line over kMaxCommandLine, leaves `wire` empty.
  static Command build(std::string_view head, std::string_view argument = {}, std::string_view tail = {},
                       bool secret = false);
  void trace(std::string_view direction, std::string_view text) const;
  int authenticate_again();

  ByteStream& stream_;
  PasswordPrompt prompt_;
  TraceSink trace_;
  std::string error_;
  std::string user_;
  std::string password_;
  std::string pending_;         // received bytes not yet used by a reply
  std::string data_tail_;       // the last two data bytes sent
  size_t data_bytes_ = 0;       // data bytes sent since data(), for the trace
};

}  // namespace pw
