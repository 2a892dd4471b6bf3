#pragma once
// One HTTP/1.1 POST of a form (application/x-www-form-urlencoded) over a
// byte stream, for the OAuth 2.0 token endpoint: https through the stream's
// TLS with the certificate verified; plain http only to a loopback address
// (a local test or development server).
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "net/byte_stream.h"

namespace pw {

struct HttpUrl {
  bool https = false;
  std::string host;
  int port = 0;
  std::string target;  // path and query, at least "/"
};

// nullopt for anything but an absolute http or https address.
[[nodiscard]] std::optional<HttpUrl> parse_http_url(std::string_view url);
// Whether `host` names this machine's loopback interface.
[[nodiscard]] bool is_loopback_host(std::string_view host);

// Percent-encoding of a form value (RFC 3986 unreserved characters stay).
[[nodiscard]] std::string form_encode(std::string_view value);
[[nodiscard]] std::string form_body(const std::map<std::string, std::string>& fields);

struct HttpResponse {
  int status = 0;
  std::string body;
};

// Sends `body` to `url` and reads the whole answer (Content-Length,
// chunked, or up to the close), at most 1 MiB. On failure returns nullopt
// with the reason in `error` (GB18030).
[[nodiscard]] std::optional<HttpResponse> http_post_form(ByteStream& stream, const HttpUrl& url, std::string_view body,
                                                         std::string& error);

}  // namespace pw
