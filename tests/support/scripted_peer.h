#pragma once
// A scripted server behind the ByteStream interface, for faults a real server
// will not produce. The script is a sequence of steps: bytes the server sends
// (optionally cut into chunks of a given size), bytes the client must send,
// a silent server (the next receive times out) and a closed connection.
// Any client byte that differs from the script, and any read while the script
// expects the client to speak, fails the running test.
#include <chrono>
#include <deque>
#include <string>

#include "net/byte_stream.h"

namespace pw::test {

class ScriptedPeer final : public ByteStream {
 public:
  // The server sends `bytes`; each receive returns at most `chunk` of them
  // (0: as much as the caller's buffer holds).
  ScriptedPeer& server(std::string bytes, size_t chunk = 0);
  // The client must send exactly `bytes` next.
  ScriptedPeer& client(std::string bytes);
  // The next receive times out (the server stays silent).
  ScriptedPeer& silent();
  // The server closes the connection: receives return 0 from here on.
  ScriptedPeer& close();
  // connect() fails.
  ScriptedPeer& refuse_connect();
  // Every receive first waits this long: a server that trickles its bytes.
  ScriptedPeer& trickle(std::chrono::milliseconds per_receive) { return delay_ = per_receive, *this; }
  // The trickle's wait passes on `clock` instead of in real time.
  ScriptedPeer& trickle_on(std::chrono::steady_clock::time_point& clock) { return clock_ = &clock, *this; }

  [[nodiscard]] bool connect(const std::string& host, int port) override;
  int send(std::string_view data) override;
  [[nodiscard]] int receive(char* buffer, size_t capacity) override;

  // Everything the client sent, in order.
  [[nodiscard]] const std::string& written() const { return written_; }
  // True when every step of the script has been played.
  [[nodiscard]] bool done() const { return steps_.empty(); }
  [[nodiscard]] const std::string& connected_host() const { return host_; }
  [[nodiscard]] int connected_port() const { return port_; }

 private:
  std::chrono::steady_clock::time_point* clock_ = nullptr;
  enum class Kind { Server, Client, Silent, Close };
  struct Step {
    Kind kind;
    std::string bytes;
    size_t chunk = 0;
  };
  std::deque<Step> steps_;
  std::string written_;
  std::string host_;
  int port_ = 0;
  bool refuse_ = false;
  bool closed_ = false;
  std::chrono::milliseconds delay_{0};
};

}  // namespace pw::test
