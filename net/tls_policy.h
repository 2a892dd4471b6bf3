#pragma once
// How a mail session secures its connection, and the texts of its failures.
#include <string>
#include <string_view>

#include "net/byte_stream.h"

namespace pw {

struct TlsPolicy {
  // Fail rather than go on in plaintext when the server offers no upgrade.
  bool required = false;
  // The certificate must chain to the trust store and name the host. Off
  // only for direct delivery to exchangers, where encryption is taken when
  // offered without proof of the exchanger's name (no credential is sent).
  bool verify = true;
  // The server completed a TLS handshake on an earlier connection: a server
  // that offers no upgrade now is refused as a downgrade (someone on the
  // path may strip it), whatever `required` says.
  bool seen = false;
};

// Ports that speak TLS from the first byte: 995 (POP3S), 465 (SMTPS).
[[nodiscard]] bool implicit_tls_port(int port);

// The error text for a failed upgrade of the connection to `host`.
[[nodiscard]] std::string tls_failure_text(ByteStream::TlsResult result, std::string_view host);
// The error text for a server that offers no upgrade when TLS is required.
[[nodiscard]] std::string tls_missing_text(std::string_view host);
// The same for a server that offered it before (`seen`).
[[nodiscard]] std::string tls_downgrade_text(std::string_view host);

}  // namespace pw
