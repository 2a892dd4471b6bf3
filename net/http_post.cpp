#include "net/http_post.h"

#include <cctype>

#include "base/code_page.h"
#include "net/server_address.h"
#include "net/tls_policy.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr size_t kMaxResponse = size_t{1} << 20;

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The body of a chunked message (RFC 9112 7.1); nullopt while incomplete.
std::optional<std::string> dechunk(std::string_view in) {
  std::string out;
  for (;;) {
    size_t eol = in.find("\r\n");
    if (eol == std::string_view::npos) return std::nullopt;
    size_t size = 0;
    std::string_view digits = in.substr(0, eol);
    size_t i = 0;
    for (; i < digits.size() && std::isxdigit(static_cast<unsigned char>(digits[i])); ++i) {
      if (size > kMaxResponse) return std::nullopt;
      size = size * 16 + static_cast<size_t>(std::isdigit(static_cast<unsigned char>(digits[i]))
                                                 ? digits[i] - '0'
                                                 : std::tolower(static_cast<unsigned char>(digits[i])) - 'a' + 10);
    }
    if (i == 0) return std::nullopt;
    in.remove_prefix(eol + 2);
    if (size == 0) return out;
    if (in.size() < size + 2) return std::nullopt;
    out.append(in.substr(0, size));
    in.remove_prefix(size + 2);
  }
}

// The response once `raw` holds all of it; nullopt while more is due.
// `closed`: the server closed the connection, so what came is all there is.
std::optional<HttpResponse> complete(std::string_view raw, bool closed) {
  size_t head_end = raw.find("\r\n\r\n");
  if (head_end == std::string_view::npos) return std::nullopt;
  std::string_view head = raw.substr(0, head_end);
  std::string_view body = raw.substr(head_end + 4);
  HttpResponse r;
  // "HTTP/1.1 200 OK"
  size_t sp = head.find(' ');
  if (!head.starts_with("HTTP/") || sp == std::string_view::npos || head.size() < sp + 4) return HttpResponse{};
  for (size_t i = sp + 1; i < sp + 4; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(head[i]))) return HttpResponse{};
    r.status = r.status * 10 + (head[i] - '0');
  }
  std::optional<size_t> length;
  bool chunked = false;
  size_t pos = head.find("\r\n");
  while (pos != std::string_view::npos) {
    size_t next = head.find("\r\n", pos + 2);
    std::string_view line = head.substr(pos + 2, next == std::string_view::npos ? std::string_view::npos : next - pos - 2);
    pos = next;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = trim(line.substr(0, colon));
    std::string_view value = trim(line.substr(colon + 1));
    if (iequal(name, "Content-Length")) {
      size_t n = 0;
      for (char c : value) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || n > kMaxResponse) break;
        n = n * 10 + static_cast<size_t>(c - '0');
      }
      length = n;
    } else if (iequal(name, "Transfer-Encoding") && value.find("chunked") != std::string_view::npos) {
      chunked = true;
    }
  }
  if (chunked) {
    std::optional<std::string> whole = dechunk(body);
    if (!whole) return closed ? std::optional<HttpResponse>(HttpResponse{}) : std::nullopt;
    r.body = std::move(*whole);
    return r;
  }
  if (length) {
    if (body.size() < *length) return closed ? std::optional<HttpResponse>(HttpResponse{}) : std::nullopt;
    r.body = body.substr(0, *length);
    return r;
  }
  if (!closed) return std::nullopt;
  r.body = body;
  return r;
}

}  // namespace

bool is_loopback_host(std::string_view host) {
  return host == "localhost" || host == "::1" || host == "[::1]" || host.starts_with("127.");
}

std::optional<HttpUrl> parse_http_url(std::string_view url) {
  HttpUrl u;
  if (url.starts_with("https://")) {
    u.https = true;
    url.remove_prefix(8);
  } else if (url.starts_with("http://")) {
    url.remove_prefix(7);
  } else {
    return std::nullopt;
  }
  size_t slash = url.find_first_of("/?#");
  std::string_view authority = url.substr(0, slash);
  if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
  ServerAddress a = parse_server_address(authority, u.https ? 443 : 80);
  if (a.host.empty()) return std::nullopt;
  u.host = a.host;
  u.port = a.port;
  u.target = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  if (size_t hash = u.target.find('#'); hash != std::string::npos) u.target.erase(hash);
  if (u.target.empty() || u.target[0] != '/') u.target.insert(0, "/");
  return u;
}

std::string form_encode(std::string_view value) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string form_body(const std::map<std::string, std::string>& fields) {
  std::string out;
  for (const auto& [name, value] : fields) {
    if (!out.empty()) out += '&';
    out += form_encode(name) + "=" + form_encode(value);
  }
  return out;
}

std::optional<HttpResponse> http_post_form(ByteStream& stream, const HttpUrl& url, std::string_view body,
                                           std::string& error) {
  const std::string where = url.host + ":" + std::to_string(url.port);
  if (!stream.connect(url.host, url.port)) {
    error = res::record_text(sid::kCannotConnect) + " " + where;
    return std::nullopt;
  }
  if (url.https) {
    ByteStream::TlsResult t = stream.start_tls(url.host, true);
    if (t != ByteStream::TlsResult::Ok) {
      error = t == ByteStream::TlsResult::Unsupported ? tls_missing_text(url.host) : tls_failure_text(t, url.host);
      return std::nullopt;
    }
  }
  const bool default_port = url.port == (url.https ? 443 : 80);
  std::string request = "POST " + url.target + " HTTP/1.1\r\nHost: " + url.host +
                        (default_port ? "" : ":" + std::to_string(url.port)) +
                        "\r\nContent-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n"
                        "Connection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n";
  request += body;
  if (stream.send(request) != static_cast<int>(request.size())) {
    error = res::record_text(sid::kConnectionBroken) + " " + where;
    return std::nullopt;
  }
  std::string raw;
  char buffer[4096];
  for (;;) {
    const int n = stream.receive(buffer, sizeof buffer);
    if (n > 0) raw.append(buffer, static_cast<size_t>(n));
    if (n <= 0 || raw.size() > kMaxResponse) {
      std::optional<HttpResponse> r = n == 0 ? complete(raw, true) : std::nullopt;
      if (r && r->status > 0) return r;
      error = res::record_text(sid::kConnectionBroken) + " " + where;
      return std::nullopt;
    }
    if (std::optional<HttpResponse> r = complete(raw, false)) {
      if (r->status > 0) return r;
      error = res::record_text(sid::kConnectionBroken) + " " + where;
      return std::nullopt;
    }
  }
}

}  // namespace pw
