#include "net/smtp_session.h"

#include <algorithm>

#include "base/text_lines.h"
#include "mail/address_list.h"
#include "res/language.h"
#include "res/string_ids.h"

namespace pw {
namespace {

std::string own_text(int id) { return res::record_text(id); }

bool starts_with_word_ci(std::string_view line, std::string_view word) {
  return starts_with_ci(line, word) && (line.size() == word.size() || line[word.size()] == ' ');
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool has_code(std::string_view line) {
  return line.size() >= 3 && is_digit(line[0]) && is_digit(line[1]) && is_digit(line[2]);
}

// "250-..." announces another line of the same reply (RFC 5321 4.2.1).
bool is_continuation(std::string_view line) { return has_code(line) && line.size() >= 4 && line[3] == '-'; }

int code_of(std::string_view line) {
  return has_code(line) ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : 0;
}

}  // namespace

// A wait that ran out while a reply was due counts as an interruption.
SmtpSession::SmtpSession(std::chrono::milliseconds timeout)
    : ProtocolSession(timeout, kMaxReply, {sid::kReplyTooLong, sid::kConnectionBroken}) {}

SmtpSession::SmtpSession(ByteStream& stream)
    : ProtocolSession(stream, kMaxReply, {sid::kReplyTooLong, sid::kConnectionBroken}) {}

SmtpSession::~SmtpSession() = default;

bool SmtpSession::read_reply(Reply& reply, std::chrono::milliseconds wait) {
  reply = {};
  const auto start = std::chrono::steady_clock::now();
  std::string line;
  for (;;) {
    ReplyReader::Status status = reader_.read_line(line);
    // A long wait is the stream's wait again and again.
    if (status == ReplyReader::Status::Timeout && std::chrono::steady_clock::now() - start < wait) continue;
    if (status != ReplyReader::Status::Line) {
      lost(status);
      return false;
    }
    trace("S: ", without_line_end(line));
    reply.text += line;
    if (!is_continuation(line)) {
      reply.code = code_of(line);
      return true;
    }
    if (reply.text.size() > kMaxReply) {
      break_off(own_text(sid::kReplyTooLong));
      return false;
    }
  }
}

bool SmtpSession::exchange(const SmtpCommand& command, Reply& reply, std::chrono::milliseconds wait) {
  if (broken_) return false;
  if (!command.valid) {
    error_ = own_text(sid::kBadSmtpArgument);
    return false;
  }
  if (!send_line(command.wire, command.trace)) return false;
  if (wait.count() > 0) {
    reader_.start_reply(wait);
  } else {
    reader_.start_reply();
  }
  return read_reply(reply, wait);
}

int SmtpSession::expect(const SmtpCommand& command, int expected, std::chrono::milliseconds wait) {
  Reply reply;
  if (!exchange(command, reply, wait)) return 0;
  if (reply.code != expected) {
    error_ = reply.text;
    return 0;
  }
  return 1;
}

int SmtpSession::connect(std::string_view server) {
  keywords_.clear();
  if (open(server, kDefaultPort) == 0) return 0;
  Reply greeting;
  if (!read_reply(greeting)) return 0;
  if (greeting.code != 220) {
    error_ = greeting.text;
    return 0;
  }
  return 1;
}

int SmtpSession::helo(std::string_view host) {
  keywords_.clear();
  return expect(SmtpCommand::helo(host), 250);
}

int SmtpSession::ehlo(std::string_view host) {
  keywords_.clear();
  Reply reply;
  if (!exchange(SmtpCommand::ehlo(host), reply)) return 0;
  if (reply.code == 250) {
    // Every line after the first names an extension: "250-KEYWORD params".
    std::string_view rest = reply.text;
    (void)take_line(rest);
    while (!rest.empty())
      if (std::string_view line = take_line(rest); line.size() > 4) keywords_.emplace_back(line.substr(4));
    return 1;
  }
  // An old server that does not know EHLO (RFC 5321 3.2).
  if (reply.code >= 500) return helo(host);
  error_ = reply.text;
  return 0;
}

int SmtpSession::hello(std::string_view host) {
  if (!ehlo(host)) return 0;
  if (secured_ || !may_upgrade()) return 1;
  if (!can_upgrade(has_keyword("STARTTLS"))) return stay_plain() ? 1 : 0;
  Reply reply;
  if (!exchange(SmtpCommand::starttls(), reply) || !secure_after(reply.code == 220)) return 0;
  return ehlo(host);
}

bool SmtpSession::has_keyword(std::string_view keyword) const {
  for (std::string_view line : keywords_)
    if (starts_with_word_ci(line, keyword)) return true;
  return false;
}

bool SmtpSession::offers_auth(std::string_view mechanism) const {
  for (std::string_view line : keywords_) {
    if (!starts_with_word_ci(line, "AUTH")) continue;
    for (size_t at = 4; at < line.size();) {
      size_t begin = line.find_first_not_of(' ', at);
      if (begin == std::string_view::npos) break;
      size_t end = std::min(line.find(' ', begin), line.size());
      if (starts_with_word_ci(line.substr(begin, end - begin), mechanism)) return true;
      at = end;
    }
  }
  return false;
}

int SmtpSession::log_in(std::string_view name, std::string_view password) {
  plain_ = offers_auth("PLAIN") && !offers_auth("LOGIN");
  if (!plain_) return expect(SmtpCommand::auth_login(), 334) && auth_user(name) && auth_password(password);
  user_ = name;
  password_ = password;
  return send_plain();
}

int SmtpSession::send_plain() {
  Reply reply;
  if (!exchange(SmtpCommand::auth_plain(user_, password_), reply)) return 0;
  if (reply.code == 235) return 1;
  error_ = reply.text;
  return correct_login();
}

int SmtpSession::log_in_bearer(std::string_view name, const BearerSource& token) {
  std::vector<std::string> offered;
  for (std::string_view line : keywords_)
    if (starts_with_word_ci(line, "AUTH")) append_words(line.substr(4), offered);
  std::optional<BearerMechanism> m = choose_bearer(offered);
  if (!m) {
    error_ = res::record_text(sid::kNoBearer);
    return 0;
  }
  user_ = name;
  password_.clear();
  for (bool renew : {false, true}) {
    BearerToken t = token(renew);
    if (!t.ok) {
      error_ = t.error;
      return 0;
    }
    const int r = auth_bearer(*m, name, t.token);
    if (r != 0) return r > 0 ? 1 : 0;
  }
  return 0;
}

int SmtpSession::auth_bearer(BearerMechanism m, std::string_view name, std::string_view token) {
  const std::string response = bearer_response(m, name, token);
  const char* mechanism = mechanism_name(m);
  Reply reply;
  if (!exchange(SmtpCommand::auth_bearer(mechanism, response), reply)) return -1;
  if (SmtpCommand::bearer_needs_challenge(mechanism, response) && reply.code == 334 &&
      !exchange(SmtpCommand::sasl_response(response), reply))
    return -1;
  if (reply.code == 235) return 1;
  std::string challenge;
  if (reply.code == 334) {
    // An error challenge: its JSON says why; answering it ends the exchange
    // with the refusal (RFC 7628 3.2.3).
    std::string_view line = without_line_end(reply.text);
    if (line.size() > 4) challenge = line.substr(4);
    if (!exchange(SmtpCommand::sasl_response(bearer_abort(m)), reply)) return -1;
  }
  error_ = bearer_refusal_text(challenge, reply.text);
  return 0;
}

int SmtpSession::ehlo_and_auth(std::string_view host) {
  if (!ehlo(host)) return 0;
  return expect(SmtpCommand::auth_login(), 334);
}

int SmtpSession::auth_user(std::string_view name) {
  user_ = name;
  return expect(SmtpCommand::auth_user(name), 334);
}

int SmtpSession::auth_password(std::string_view password) {
  password_ = password;
  Reply reply;
  if (!exchange(SmtpCommand::auth_password(password), reply)) return 0;
  if (reply.code == 235) return 1;
  error_ = reply.text;
  return correct_login();
}

// A refusal ends the server's AUTH exchange, so corrected data go out in a
// new AUTH command.
int SmtpSession::correct_login() {
  for (;;) {
    std::optional<LoginData> fixed;
    if (prompt_) fixed = prompt_(LoginData{user_, password_}, error_);
    if (fixed && plain_) {
      user_ = fixed->user;
      password_ = fixed->password;
      Reply reply;
      if (!exchange(SmtpCommand::auth_plain(user_, password_), reply)) return 0;
      if (reply.code == 235) return 1;
      error_ = reply.text;
      continue;
    }
    if (!fixed || !expect(SmtpCommand::auth_login(), 334) || !auth_user(fixed->user)) {
      user_.clear();
      password_.clear();
      return 0;
    }
    password_ = fixed->password;
    Reply reply;
    if (!exchange(SmtpCommand::auth_password(password_), reply)) return 0;
    if (reply.code == 235) return 1;
    error_ = reply.text;
  }
}

int SmtpSession::mail_from(std::string_view address) { return expect(SmtpCommand::mail_from(address), 250); }

int SmtpSession::rcpt_to(std::string_view address) {
  Reply reply;
  if (!exchange(SmtpCommand::rcpt_to(sender_address(address)), reply)) return 0;
  // 251: not local, the server forwards it (RFC 5321 3.4) -- accepted as well.
  if (reply.code == 250 || reply.code == 251) return 1;
  error_ = reply.text;
  return kRefused;
}

int SmtpSession::data() {
  data_tail_.clear();
  after_cr_ = false;
  data_bytes_ = 0;
  return expect(SmtpCommand::data(), 354);
}

int SmtpSession::send_data(std::string_view bytes) {
  if (broken_) return ByteStream::kError;
  if (bytes.empty()) return 0;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 64 + 1);
  bool line_start = data_tail_.empty() || data_tail_.back() == '\n';
  for (char c : bytes) {
    // A CR goes out as CR LF at once; the LF of a CR LF pair, perhaps at the
    // start of the next piece, then adds nothing.
    const bool lf_of_pair = c == '\n' && after_cr_;
    after_cr_ = c == '\r';
    if (lf_of_pair) continue;
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      line_start = true;
      continue;
    }
    if (line_start && c == '.') out += '.';
    out += c;
    line_start = false;
  }
  data_tail_ += std::string_view(out).substr(out.size() > 2 ? out.size() - 2 : 0);
  if (data_tail_.size() > 2) data_tail_.erase(0, data_tail_.size() - 2);
  data_bytes_ += bytes.size();
  if (out.empty()) return 0;
  int sent = stream_.send(out);
  if (sent != static_cast<int>(out.size())) {
    break_off(res::record_text(sid::kConnectionBroken));
    return sent < 0 ? sent : ByteStream::kError;
  }
  return sent;
}

int SmtpSession::end_data() {
  if (!broken_) trace("C: ", "[" + std::to_string(data_bytes_) + " bytes of message data]");
  return expect(SmtpCommand::end_data(data_tail_.empty() || data_tail_ == "\r\n"), 250, data_reply_wait_);
}

int SmtpSession::quit() { return expect(SmtpCommand::quit(), 221); }

}  // namespace pw
