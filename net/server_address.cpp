#include "net/server_address.h"

namespace pw {

ServerAddress parse_server_address(std::string_view field, int default_port) {
  std::string_view host = field;
  int port = default_port;
  size_t colon = field.rfind(':');
  // More than one ':' without brackets is a bare IPv6 address, not host:port.
  bool bare_ipv6 = colon != std::string_view::npos && field.find(':') != colon && field.front() != '[';
  if (colon != std::string_view::npos && !bare_ipv6 && colon + 1 < field.size()) {
    std::string_view digits = field.substr(colon + 1);
    long value = 0;
    bool ok = digits.size() <= 5;
    for (char c : digits) {
      if (c < '0' || c > '9') ok = false;
      else value = value * 10 + (c - '0');
    }
    if (ok && value >= 1 && value <= 65535) {
      host = field.substr(0, colon);
      port = static_cast<int>(value);
    }
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return {std::string(host), port};
}

}  // namespace pw
