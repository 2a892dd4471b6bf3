#include "net/protocol_session.h"

#include <cctype>

#include "net/line_socket.h"
#include "net/server_address.h"
#include "res/language.h"
#include "res/string_ids.h"

namespace pw {

ProtocolSession::ProtocolSession(std::chrono::milliseconds timeout, size_t max_line, LostReasons reasons)
    : own_stream_(std::make_unique<LineSocket>(timeout)),
      stream_(*own_stream_),
      reader_(stream_, max_line),
      reasons_(reasons) {}

ProtocolSession::ProtocolSession(ByteStream& stream, size_t max_line, LostReasons reasons)
    : stream_(stream), reader_(stream_, max_line), reasons_(reasons) {}

ProtocolSession::~ProtocolSession() = default;

void ProtocolSession::trace(std::string_view prefix, std::string_view text) const {
  if (!trace_) return;
  std::string line(prefix);
  line += text;
  trace_(line);
}

void ProtocolSession::break_off(std::string text) {
  error_ = std::move(text);
  broken_ = true;
}

void ProtocolSession::lost(ReplyReader::Status status) {
  switch (status) {
    case ReplyReader::Status::TooLong:
      break_off(res::record_text(reasons_.too_long));
      break;
    case ReplyReader::Status::TooSlow: break_off(res::record_text(sid::kTooSlow) + host_); break;
    case ReplyReader::Status::Timeout:
      break_off(res::record_text(reasons_.timed_out));
      break;
    default: break_off(res::record_text(sid::kConnectionBroken));
  }
}

bool ProtocolSession::send_line(std::string_view wire, std::string_view trace_text) {
  trace("C: ", trace_text);
  if (stream_.send(wire) != static_cast<int>(wire.size())) {
    break_off(res::record_text(sid::kConnectionBroken));
    return false;
  }
  return true;
}

int ProtocolSession::open(std::string_view server, int default_port) {
  const ServerAddress address = parse_server_address(server, default_port);
  reader_.clear();
  broken_ = false;
  secured_ = false;
  unreachable_ = false;
  host_ = address.host;
  trace("-- connect ", address.host + ":" + std::to_string(address.port));
  if (!stream_.connect(address.host, address.port)) {
    break_off(res::record_text(sid::kCannotConnect));
    unreachable_ = true;
    return 0;
  }
  reader_.start_reply();  // the greeting; a handshake counts towards it
  if (implicit_tls_port(address.port) && !secure()) return 0;
  return address.port;
}

bool ProtocolSession::secure() {
  const ByteStream::TlsResult r = stream_.start_tls(host_, tls_.verify);
  if (r == ByteStream::TlsResult::Ok) {
    trace("-- TLS with ", host_);
    secured_ = true;
    return true;
  }
  break_off(r == ByteStream::TlsResult::Unsupported ? tls_missing_text(host_) : tls_failure_text(r, host_));
  return false;
}

bool ProtocolSession::stay_plain() {
  if (!tls_.required && !tls_.seen) return true;
  break_off(tls_.seen ? tls_downgrade_text(host_) : tls_missing_text(host_));
  return false;
}

bool ProtocolSession::secure_after(bool accepted) {
  if (!accepted || !reader_.buffered().empty()) {
    break_off(tls_failure_text(ByteStream::TlsResult::Failed, host_));
    return false;
  }
  return secure();
}

std::string_view without_line_end(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool starts_with_ci(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace pw
