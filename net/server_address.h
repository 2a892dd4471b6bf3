#pragma once
// A server field as the user typed it: a host name or address, optionally
// followed by ":PORT".
#include <string>
#include <string_view>

namespace pw {

struct ServerAddress {
  std::string host;
  int port = 0;
};

// Splits "host:port"; a field without a valid port (1..65535) after its last
// ':' is all host and gets `default_port`. "[::1]:110" keeps the bracketed
// IPv6 form working.
[[nodiscard]] ServerAddress parse_server_address(std::string_view field, int default_port);

}  // namespace pw
