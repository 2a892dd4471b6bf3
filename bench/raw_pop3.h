#pragma once
// The benchmarks' yardstick: a minimal raw POP3 client (a blocking socket,
// no parsing beyond the terminators).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace pw::bench {

class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~RawClient() { ::close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  void send(const std::string& s) {
    if (ok_ && ::write(fd_, s.data(), s.size()) != static_cast<ssize_t>(s.size())) ok_ = false;
  }
  // Reads until `count` occurrences of `end` have passed.
  void read_until(const char* end, int count) {
    const size_t n = std::strlen(end);
    std::string tail;
    while (ok_ && count > 0) {
      const ssize_t r = ::read(fd_, buf_.data(), buf_.size());
      if (r <= 0) {
        ok_ = false;
        return;
      }
      tail.append(buf_.data(), static_cast<size_t>(r));
      size_t pos = 0;
      while (count > 0 && (pos = tail.find(end, pos)) != std::string::npos) {
        --count;
        tail.erase(0, pos + n);
        pos = 0;
      }
      if (tail.size() > n) tail.erase(0, tail.size() - n);
    }
  }
  bool log_in(const std::string& user, const std::string& password) {
    read_until("\r\n", 1);
    send("USER " + user + "\r\n");
    read_until("\r\n", 1);
    send("PASS " + password + "\r\n");
    read_until("\r\n", 1);
    return ok_;
  }
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
  std::vector<char> buf_ = std::vector<char>(size_t(1) << 18);
};

// Log in, UIDL, RETR of messages 1..count (one after another or all sent at
// once), QUIT.
inline bool raw_fetch(int port, const std::string& user, int count, bool pipelined) {
  RawClient c(port);
  if (!c.log_in(user, "secret")) return false;
  c.send("UIDL\r\n");
  c.read_until("\r\n.\r\n", 1);
  if (pipelined) {
    std::string all;
    for (int i = 1; i <= count; ++i) all += "RETR " + std::to_string(i) + "\r\n";
    c.send(all);
    c.read_until("\r\n.\r\n", count);
  } else {
    for (int i = 1; i <= count; ++i) {
      c.send("RETR " + std::to_string(i) + "\r\n");
      c.read_until("\r\n.\r\n", 1);
    }
  }
  c.send("QUIT\r\n");
  c.read_until("\r\n", 1);
  return c.ok();
}

// Log in, UIDL, QUIT: the floor of any check.
inline bool raw_uidl(int port, const std::string& user) {
  RawClient c(port);
  if (!c.log_in(user, "secret")) return false;
  c.send("UIDL\r\n");
  c.read_until("\r\n.\r\n", 1);
  c.send("QUIT\r\n");
  c.read_until("\r\n", 1);
  return c.ok();
}

}  // namespace pw::bench
