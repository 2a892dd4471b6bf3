#pragma once
// What the POP3 and the SMTP session share: the byte stream (their own
// LineSocket or one given), the buffered reply reader over it, the
// connection to a server field, TLS on it, the protocol trace, the log-in
// data with the prompt that corrects them, and the error state. After a
// break-off the session sends nothing more until it connects afresh.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/byte_stream.h"
#include "net/login_prompt.h"
#include "net/protocol_trace.h"
#include "net/reply_reader.h"
#include "net/tls_policy.h"

namespace pw {

class ProtocolSession {
 public:
  ProtocolSession(const ProtocolSession&) = delete;
  ProtocolSession& operator=(const ProtocolSession&) = delete;

  // Asked when the server refuses the password; without one a refusal fails.
  void set_login_prompt(LoginPrompt prompt) { prompt_ = std::move(prompt); }
  void set_trace(ProtocolTrace trace) { trace_ = std::move(trace); }
  void set_tls(const TlsPolicy& policy) { tls_ = policy; }
  // Where the replies' pace is measured from (tests pass a clock of their own).
  void set_clock(std::function<ReplyReader::Clock::time_point()> now) { reader_.set_clock(std::move(now)); }

  [[nodiscard]] const std::string& error_text() const { return error_; }
  // The last connect did not reach the server (its name did not resolve,
  // the connection was refused or not answered): nothing was said to it.
  [[nodiscard]] bool unreachable() const { return unreachable_; }
  // The user name and password last sent (corrections included); both empty
  // after the user gave up a correction.
  [[nodiscard]] const std::string& user_name() const { return user_; }
  [[nodiscard]] const std::string& password() const { return password_; }

 protected:
  // The reasons (string-table ids) given for a reply that could not be read
  // besides the shared ones: for one over its bound and for a wait that ran
  // out.
  struct LostReasons {
    int too_long;
    int timed_out;
  };

  // Over a LineSocket of its own with the given bounded wait.
  ProtocolSession(std::chrono::milliseconds timeout, size_t max_line, LostReasons reasons);
  // Over `stream`, which must outlive the session.
  ProtocolSession(ByteStream& stream, size_t max_line, LostReasons reasons);
  ~ProtocolSession();

  // Starts afresh on `server` ("host" or "host:port"): forgets what was
  // buffered, the break-off and TLS, connects and, on a port that speaks
  // TLS from the first byte, secures the connection. The port connected to,
  // or 0 when that failed (broken off with the reason).
  [[nodiscard]] int open(std::string_view server, int default_port);
  // The TLS handshake with host_; broken off with the reason on failure.
  [[nodiscard]] bool secure();
  // Whether a plaintext connection looks for the server's offer to upgrade.
  [[nodiscard]] bool may_upgrade() const { return tls_.required || tls_.seen || stream_.supports_tls(); }
  // Whether the upgrade can be asked for: the server offers it and the
  // stream can do TLS.
  [[nodiscard]] bool can_upgrade(bool offered) const { return offered && stream_.supports_tls(); }
  // Going on in plaintext: true unless TLS is required (then broken off).
  [[nodiscard]] bool stay_plain();
  // After the server answered the request to upgrade: the handshake when it
  // accepted; broken off when it refused or sent bytes ahead of the
  // handshake, which could be anyone's (RFC 2595 4, RFC 3207 5).
  [[nodiscard]] bool secure_after(bool accepted);

  // Sends `wire`, traced as `trace_text`; broken off when it cannot be sent.
  [[nodiscard]] bool send_line(std::string_view wire, std::string_view trace_text);
  // Breaks off with the reason for a reply the reader could not read.
  void lost(ReplyReader::Status status);
  void break_off(std::string text);
  void trace(std::string_view prefix, std::string_view text) const;

  std::unique_ptr<ByteStream> own_stream_;
  ByteStream& stream_;
  ReplyReader reader_;
  TlsPolicy tls_;
  LoginPrompt prompt_;
  ProtocolTrace trace_;
  LostReasons reasons_;

  std::string error_;
  std::string user_;
  std::string password_;
  std::string host_;  // the server connected to, for error texts
  bool broken_ = false;
  bool secured_ = false;  // TLS is on
  bool unreachable_ = false;
};

// `line` without its CR LF or LF.
[[nodiscard]] std::string_view without_line_end(std::string_view line);
// Whether `s` starts with `prefix`, ASCII letters in any case.
[[nodiscard]] bool starts_with_ci(std::string_view s, std::string_view prefix);

}  // namespace pw
