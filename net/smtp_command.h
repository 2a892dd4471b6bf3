#pragma once
// The SMTP commands the client sends (RFC 5321, AUTH of RFC 4954, STARTTLS
// of RFC 3207), each built here with its wire text and the text for the
// protocol trace, in which a password is masked.
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

struct SmtpCommand {
  // Longest command line, CR LF included; a longer one is not sent.
  static constexpr size_t kMaxLine = 255;

  std::string wire;   // the bytes sent, CR LF included
  std::string trace;  // the line for the trace, without CR LF
  bool valid = true;  // false when an argument holds CR, LF or NUL or the line is too long

  [[nodiscard]] static SmtpCommand helo(std::string_view host);
  [[nodiscard]] static SmtpCommand ehlo(std::string_view host);
  [[nodiscard]] static SmtpCommand auth_login();
  // The user name and the password in standard padded Base64.
  [[nodiscard]] static SmtpCommand auth_user(std::string_view name);
  [[nodiscard]] static SmtpCommand auth_password(std::string_view password);
  // AUTH PLAIN with the initial response "\0name\0password" (RFC 4616).
  [[nodiscard]] static SmtpCommand auth_plain(std::string_view name, std::string_view password);
  [[nodiscard]] static SmtpCommand starttls();
  // AUTH with a bearer mechanism (XOAUTH2, OAUTHBEARER) and its first
  // response, Base64 on the same line when the line stays within 512 bytes
  // (RFC 4954 4), else alone after the server's empty challenge: see
  // bearer_needs_challenge. The token never reaches the trace.
  [[nodiscard]] static SmtpCommand auth_bearer(std::string_view mechanism, std::string_view response);
  [[nodiscard]] static bool bearer_needs_challenge(std::string_view mechanism, std::string_view response);
  // A SASL response of its own line (Base64), masked in the trace.
  [[nodiscard]] static SmtpCommand sasl_response(std::string_view response);
  [[nodiscard]] static SmtpCommand mail_from(std::string_view address);
  [[nodiscard]] static SmtpCommand rcpt_to(std::string_view address);
  [[nodiscard]] static SmtpCommand data();
  // "." on a line of its own; `after_line_end` false puts CR LF before it to
  // end the last data line.
  [[nodiscard]] static SmtpCommand end_data(bool after_line_end);
  [[nodiscard]] static SmtpCommand quit();
};

}  // namespace pw
