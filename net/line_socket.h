#pragma once
// The TCP transport: a blocking stream connection with a bounded wait before
// every connect, send and receive, and TLS on it when asked.
#include <chrono>
#include <memory>

struct addrinfo;

#include "net/byte_stream.h"

namespace pw {

class TlsChannel;

class LineSocket final : public ByteStream {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{20000};

  explicit LineSocket(std::chrono::milliseconds timeout = kDefaultTimeout);
  ~LineSocket() override;
  LineSocket(const LineSocket&) = delete;
  LineSocket& operator=(const LineSocket&) = delete;

  // Closes any open connection, resolves `host` and tries each of its
  // addresses in turn, each attempt bounded by the time-out.
  [[nodiscard]] bool connect(const std::string& host, int port) override;
  int send(std::string_view data) override;
  [[nodiscard]] int receive(char* buffer, size_t capacity) override;
  [[nodiscard]] bool supports_tls() const override { return true; }
  // The whole handshake is bounded by the time-out.
  [[nodiscard]] TlsResult start_tls(const std::string& host, bool verify) override;

  void close();
  // Whether the TLS connection resumed an earlier session with the server.
  [[nodiscard]] bool tls_resumed() const;

 private:
  // Waits for `events` on the socket until `deadline`; 1 ready, 0 timed out, -1 error.
  int wait(short events, std::chrono::steady_clock::time_point deadline) const;
  bool connect_one(const ::addrinfo* ai);

  std::chrono::milliseconds timeout_;
  int fd_ = -1;
  int port_ = 0;
  std::unique_ptr<TlsChannel> tls_;  // set while the connection is encrypted
};

}  // namespace pw
