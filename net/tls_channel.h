#pragma once
// TLS (OpenSSL) over a connected non-blocking socket: the client handshake and
// then reads and writes, every wait bounded like the plain socket's.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "net/byte_stream.h"

namespace pw {

class TlsChannel {
 public:
  using Clock = std::chrono::steady_clock;

  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // Handshakes on `fd` (which stays owned by the caller) before `deadline`.
  // On Ok `channel` holds the session. With a `session_key` (the server's
  // host and port), the session the server gave the last connection under
  // that key (with the same verification) is offered for resumption, and the
  // one it gives this connection is kept for the next: for the life of the
  // process, so a run's and a window's later connections to a server save
  // the certificate exchange (and with TLS 1.2 a round trip).
  [[nodiscard]] static ByteStream::TlsResult open(int fd, const std::string& host, bool verify,
                                                  Clock::time_point deadline, std::unique_ptr<TlsChannel>& channel,
                                                  const std::string& session_key = {});
  // Whether the handshake resumed a kept session.
  [[nodiscard]] bool resumed() const;

  // Results as ByteStream::send / receive; each wait lasts at most `timeout`.
  int send(std::string_view data, std::chrono::milliseconds timeout);
  [[nodiscard]] int receive(char* buffer, size_t capacity, std::chrono::milliseconds timeout);
  // Sends the close notification without waiting for the answer.
  void shut_down();

 private:
  struct State;
  explicit TlsChannel(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace pw
