#include "net/smtp_session.h"

#include "base/code_page.h"
#include "mail/base64.h"
#include "net/server_address.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr int kTextCannotConnect = 61249;
constexpr int kTextConnectionLost = 61250;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool has_code(std::string_view line) {
  return line.size() >= 3 && is_digit(line[0]) && is_digit(line[1]) && is_digit(line[2]);
}

// "250-..." announces another line of the same reply (RFC 5321 4.2.1).
bool is_continuation(std::string_view line) { return has_code(line) && line.size() >= 4 && line[3] == '-'; }

int code_of(std::string_view line) {
  return has_code(line) ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : 0;
}

std::string_view without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

const std::string& unsendable_text() {
  static const std::string text = utf8_to_gb("命令参数过长或含有换行符，未发送");
  return text;
}

const std::string& reply_too_long_text() {
  static const std::string text = utf8_to_gb("服务器应答超过 1 MiB，已放弃");
  return text;
}

}  // namespace

std::string SmtpSession::bare_address(std::string_view value) {
  size_t lt = value.find('<');
  if (lt != std::string_view::npos) value.remove_prefix(lt + 1);
  std::string out;
  for (char c : value)
    if (c != ' ' && c != '\t' && c != '"' && c != '<' && c != '>') out += c;
  return out;
}

SmtpSession::Command SmtpSession::build(std::string_view head, std::string_view argument, std::string_view tail,
                                        bool secret) {
  Command c;
  c.trace.append(head).append(secret ? std::string_view("********") : argument).append(tail);
  if (argument.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return c;
  if (head.size() + argument.size() + tail.size() + 2 > kMaxCommandLine) return c;
  c.wire.append(head).append(argument).append(tail).append("\r\n");
  return c;
}

void SmtpSession::trace(std::string_view direction, std::string_view text) const {
  if (!trace_) return;
  std::string line(direction);
  line.append(text);
  trace_(line);
}

bool SmtpSession::read_reply(Reply& reply) {
  reply = {};
  size_t scanned = 0;
  for (;;) {
    size_t nl;
    while ((nl = pending_.find('\n', scanned)) != std::string::npos) {
      std::string_view line(pending_.data(), nl + 1);
      trace("S: ", without_line_end(line));
      reply.text.append(line);
      bool more = is_continuation(line);
      if (!more) reply.code = code_of(line);
      pending_.erase(0, nl + 1);
      scanned = 0;
      if (!more) return true;
    }
    scanned = pending_.size();
    if (reply.text.size() + pending_.size() > kMaxReply) {
      error_ = reply_too_long_text();
      pending_.clear();
      return false;
    }
    char buffer[4096];
    int n = stream_.receive(buffer, sizeof buffer);
    if (n <= 0) {
      error_ = res::text(kTextConnectionLost);
      return false;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool SmtpSession::exchange(const Command& command, Reply& reply) {
  if (command.wire.empty()) {
    error_ = unsendable_text();
    return false;
  }
  trace("C: ", command.trace);
  if (stream_.send(command.wire) < 0) {
    error_ = res::text(kTextConnectionLost);
    return false;
  }
  return read_reply(reply);
}

int SmtpSession::expect(const Command& command, int expected) {
  Reply reply;
  if (!exchange(command, reply)) return 0;
  if (reply.code != expected) {
    error_ = reply.text;
    return 0;
  }
  return 1;
}

int SmtpSession::connect(std::string_view server) {
  pending_.clear();
  ServerAddress address = parse_server_address(server, kDefaultPort);
  trace("-- connect ", address.host + ":" + std::to_string(address.port));
  if (!stream_.connect(address.host, address.port)) {
    error_ = res::text(kTextCannotConnect);
    return 0;
  }
  Reply greeting;
  if (!read_reply(greeting)) return 0;
  if (greeting.code != 220) {
    error_ = greeting.text;
    return 0;
  }
  return 1;
}

int SmtpSession::helo(std::string_view host) { return expect(build("HELO ", host), 250); }

int SmtpSession::ehlo_and_auth(std::string_view host) {
  Reply reply;
  if (!exchange(build("EHLO ", host), reply)) return 0;
  return expect(build("AUTH LOGIN"), 334);
}

int SmtpSession::auth_user(std::string_view name) {
  user_ = name;
  return expect(build(base64_encode(name)), 334);
}

int SmtpSession::auth_password(std::string_view password) {
  password_ = password;
  Reply reply;
  if (!exchange(build({}, base64_encode(password), {}, true), reply)) return 0;
  if (reply.code == 235) return 1;
  error_ = reply.text;
  return authenticate_again();
}

// After a refused password the server has ended the AUTH exchange, so the
// corrected data go out in a new AUTH LOGIN.
int SmtpSession::authenticate_again() {
  for (;;) {
    std::string user = user_;
    std::string password = password_;
    if (!prompt_ || !prompt_(user, password) || !expect(build("AUTH LOGIN"), 334) || !auth_user(user)) {
      user_.clear();
      password_.clear();
      return 0;
    }
    password_ = password;
    Reply reply;
    if (!exchange(build({}, base64_encode(password), {}, true), reply)) return 0;
    if (reply.code == 235) return 1;
    error_ = reply.text;
  }
}

int SmtpSession::mail_from(std::string_view address) { return expect(build("MAIL FROM:<", address, ">"), 250); }

int SmtpSession::rcpt_to(std::string_view address) {
  Reply reply;
  if (!exchange(build("RCPT TO:<", bare_address(address), ">"), reply)) return 0;
  // 251: not local, the server forwards it (RFC 5321 3.4) -- accepted as well.
  if (reply.code == 250 || reply.code == 251) return 1;
  error_ = reply.text;
  return kRefused;
}

int SmtpSession::data() {
  data_tail_.clear();
  data_bytes_ = 0;
  return expect(build("DATA"), 354);
}

// Dot-stuffing (RFC 5321 4.5.2): a line that begins with '.' gets another
// one, so the receiver restores the text byte for byte.
int SmtpSession::send_data(std::string_view bytes) {
  if (bytes.empty()) return 0;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 64 + 1);
  bool line_start = data_tail_.empty() || data_tail_.back() == '\n';
  for (char c : bytes) {
    if (line_start && c == '.') out += '.';
    out += c;
    line_start = c == '\n';
  }
  data_tail_ += std::string_view(out).substr(out.size() > 2 ? out.size() - 2 : 0);
  if (data_tail_.size() > 2) data_tail_.erase(0, data_tail_.size() - 2);
  data_bytes_ += bytes.size();
  return stream_.send(out);
}

int SmtpSession::end_data() {
  trace("C: ", "[" + std::to_string(data_bytes_) + " bytes of message data]");
  Command end = build(".");
  if (!data_tail_.empty() && data_tail_ != "\r\n") end.wire.insert(0, "\r\n");
  return expect(end, 250);
}

int SmtpSession::quit() { return expect(build("QUIT"), 221); }

}  // namespace pw
