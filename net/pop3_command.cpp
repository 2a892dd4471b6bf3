#include "net/pop3_command.h"

#include "mail/base64.h"

namespace pw {
namespace {

Pop3Command make(std::string line, std::string trace) {
  Pop3Command c;
  c.wire = line + "\r\n";
  c.trace = std::move(trace);
  return c;
}

// A user name or password holding CR, LF or NUL would end the command early
// and let the rest of it through as a command of its own.
bool safe_argument(std::string_view arg) { return arg.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

Pop3Command with_argument(std::string_view verb, std::string_view arg, bool secret) {
  std::string line = std::string(verb) + " " + std::string(arg);
  Pop3Command c = make(line, secret ? std::string(verb) + " ****" : line);
  c.valid = safe_argument(arg);
  return c;
}

Pop3Command numbered(const char* verb, int n) {
  std::string line = std::string(verb) + " " + std::to_string(n);
  return make(line, line);
}

}  // namespace

Pop3Command Pop3Command::user(std::string_view name) { return with_argument("USER", name, false); }
Pop3Command Pop3Command::pass(std::string_view password) { return with_argument("PASS", password, true); }
Pop3Command Pop3Command::list(int n) { return numbered("LIST", n); }
Pop3Command Pop3Command::uidl() { return make("UIDL", "UIDL"); }
Pop3Command Pop3Command::retr(int n) { return numbered("RETR", n); }
Pop3Command Pop3Command::dele(int n) { return numbered("DELE", n); }
Pop3Command Pop3Command::quit() { return make("QUIT", "QUIT"); }
Pop3Command Pop3Command::list_all() { return make("LIST", "LIST"); }
Pop3Command Pop3Command::capa() { return make("CAPA", "CAPA"); }
Pop3Command Pop3Command::stls() { return make("STLS", "STLS"); }

bool Pop3Command::auth_needs_challenge(std::string_view mechanism, std::string_view response) {
  constexpr size_t kMaxAuthLine = 255;  // RFC 5034 4, CR LF included
  return 5 + mechanism.size() + 1 + (response.size() + 2) / 3 * 4 + 2 > kMaxAuthLine;
}

Pop3Command Pop3Command::auth(std::string_view mechanism, std::string_view response) {
  const std::string head = "AUTH " + std::string(mechanism);
  if (auth_needs_challenge(mechanism, response)) return make(head, head);
  return make(head + " " + base64_encode(response), head + " ****");
}

Pop3Command Pop3Command::sasl_response(std::string_view response) { return make(base64_encode(response), "****"); }

Pop3Command Pop3Command::top(int n, int lines) {
  std::string line = "TOP " + std::to_string(n) + " " + std::to_string(lines);
  return make(line, line);
}

}  // namespace pw
