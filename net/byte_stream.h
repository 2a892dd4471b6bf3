#pragma once
// The byte stream a protocol session talks over. LineSocket is the real one;
// tests put scripted peers behind the same interface.
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

class ByteStream {
 public:
  // Results of send and receive besides a byte count.
  static constexpr int kError = -1;    // a system error
  static constexpr int kTimeout = -2;  // the bounded wait ran out

  virtual ~ByteStream() = default;

  // Connects to `host` (a name or a numeric address) at `port`; true on success.
  [[nodiscard]] virtual bool connect(const std::string& host, int port) = 0;

  // Sends all of `data` (a partial send is continued until everything is sent
  // or a wait runs out). Returns the count sent (data.size() on success),
  // kError or kTimeout.
  virtual int send(std::string_view data) = 0;

  // Receives at most `capacity` bytes into `buffer` after waiting at most the
  // time-out. Returns the count received, 0 when the peer closed the
  // connection, kError or kTimeout. The buffer is not terminated.
  [[nodiscard]] virtual int receive(char* buffer, size_t capacity) = 0;

  // TLS over the open connection (implicit TLS right after connect, or after
  // STLS / STARTTLS was accepted).
  enum class TlsResult {
    Ok,
    Unsupported,  // this stream cannot do TLS
    Failed,       // the handshake failed or timed out
    Untrusted,    // the certificate chain does not verify
    WrongHost,    // the certificate does not name the host
  };
  [[nodiscard]] virtual bool supports_tls() const { return false; }
  // Runs the client handshake (TLS 1.2 at least), within the stream's bounded
  // wait. With `verify`, the certificate must chain to the system's trust
  // store (OpenSSL's default verify paths) and name `host`. After anything
  // but Ok the connection is closed: nothing more goes over it.
  [[nodiscard]] virtual TlsResult start_tls(const std::string& /*host*/, bool /*verify*/) {
    return TlsResult::Unsupported;
  }
};

}  // namespace pw
