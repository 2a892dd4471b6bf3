#include "net/smtp_command.h"

#include "mail/base64.h"

namespace pw {
namespace {

// `head` `argument` `tail` CR LF. An argument holding CR, LF or NUL would end
// the command early and let the rest through as a command of its own.
SmtpCommand make(std::string_view head, std::string_view argument = {}, std::string_view tail = {},
                 std::string_view traced = {}) {
  SmtpCommand c;
  c.wire.append(head).append(argument).append(tail).append("\r\n");
  c.trace.append(head).append(traced.empty() ? argument : traced).append(tail);
  c.valid = argument.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
            c.wire.size() <= SmtpCommand::kMaxLine;
  return c;
}

}  // namespace

SmtpCommand SmtpCommand::helo(std::string_view host) { return make("HELO ", host); }
SmtpCommand SmtpCommand::ehlo(std::string_view host) { return make("EHLO ", host); }
SmtpCommand SmtpCommand::auth_login() { return make("AUTH LOGIN"); }
SmtpCommand SmtpCommand::auth_user(std::string_view name) { return make("", base64_encode(name)); }
SmtpCommand SmtpCommand::auth_password(std::string_view password) {
  return make("", base64_encode(password), {}, "********");
}
SmtpCommand SmtpCommand::auth_plain(std::string_view name, std::string_view password) {
  std::string response(1, '\0');
  response.append(name).append(1, '\0').append(password);
  SmtpCommand c = make("AUTH PLAIN ", base64_encode(response), {}, "********");
  // A NUL would move the boundary between name and password.
  const std::string_view nul("\0", 1);
  if (name.find(nul) != std::string_view::npos || password.find(nul) != std::string_view::npos) c.valid = false;
  return c;
}
namespace {
constexpr size_t kMaxAuthLine = 512;  // RFC 4954 4: the AUTH line with its initial response
}

bool SmtpCommand::bearer_needs_challenge(std::string_view mechanism, std::string_view response) {
  return 5 + mechanism.size() + 1 + (response.size() + 2) / 3 * 4 + 2 > kMaxAuthLine;
}

SmtpCommand SmtpCommand::auth_bearer(std::string_view mechanism, std::string_view response) {
  const std::string head = "AUTH " + std::string(mechanism);
  if (bearer_needs_challenge(mechanism, response)) return make(head);
  SmtpCommand c = make(head + " ", base64_encode(response), {}, "********");
  c.valid = c.wire.size() <= kMaxAuthLine;
  return c;
}

SmtpCommand SmtpCommand::sasl_response(std::string_view response) {
  SmtpCommand c = make("", base64_encode(response), {}, "********");
  c.valid = true;  // a response line has no length limit of its own
  return c;
}

SmtpCommand SmtpCommand::starttls() { return make("STARTTLS"); }
SmtpCommand SmtpCommand::mail_from(std::string_view address) { return make("MAIL FROM:<", address, ">"); }
SmtpCommand SmtpCommand::rcpt_to(std::string_view address) { return make("RCPT TO:<", address, ">"); }
SmtpCommand SmtpCommand::data() { return make("DATA"); }
SmtpCommand SmtpCommand::quit() { return make("QUIT"); }

SmtpCommand SmtpCommand::end_data(bool after_line_end) {
  SmtpCommand c = make(".");
  if (!after_line_end) c.wire.insert(0, "\r\n");
  return c;
}

}  // namespace pw
