#include "net/line_socket.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "net/poll_wait.h"
#include "net/stop_signal.h"
#include "net/tls_channel.h"

namespace pw {

int poll_until(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  const StopSignal* stop = current_stop();
  for (;;) {
    if (stop && stop->raised()) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    // The stop's descriptor beside the socket ends the wait when raised.
    pollfd p[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
    int r = ::poll(p, 2, static_cast<int>(left.count()));
    if (r > 0 && p[0].revents == 0) continue;  // the stop: tested above
    if (r > 0) return 1;
    if (r == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

LineSocket::LineSocket(std::chrono::milliseconds timeout) : timeout_(timeout) {}

LineSocket::~LineSocket() { close(); }

void LineSocket::close() {
  if (tls_) tls_->shut_down();
  tls_.reset();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int LineSocket::wait(short events, std::chrono::steady_clock::time_point deadline) const {
  return poll_until(fd_, events, deadline);
}

LineSocket::TlsResult LineSocket::start_tls(const std::string& host, bool verify) {
  if (fd_ < 0) return TlsResult::Failed;
  if (tls_) return TlsResult::Ok;
  // Sessions are resumed per server: host and port.
  TlsResult r = TlsChannel::open(fd_, host, verify, std::chrono::steady_clock::now() + timeout_, tls_,
                                 host + ":" + std::to_string(port_));
  if (r != TlsResult::Ok) close();
  return r;
}

bool LineSocket::tls_resumed() const { return tls_ && tls_->resumed(); }

bool LineSocket::connect_one(const addrinfo* ai) {
  fd_ = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
  if (fd_ < 0) return false;
  int r = ::connect(fd_, ai->ai_addr, ai->ai_addrlen);
  if (r != 0 && errno != EINPROGRESS) {
    close();
    return false;
  }
  if (r != 0) {
    if (wait(POLLOUT, std::chrono::steady_clock::now() + timeout_) != 1) {
      close();
      return false;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      close();
      return false;
    }
  }
  // Every send is a whole command line (or a batch of them): it goes out at
  // once, not after the answer to the one before, or commands sent ahead
  // would wait a round trip each.
  int one = 1;
  (void)::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
}

bool LineSocket::connect(const std::string& host, int port) {
  close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  port_ = port;
  std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return false;
  bool ok = false;
  for (addrinfo* ai = list; ai && !ok; ai = ai->ai_next) ok = connect_one(ai);
  ::freeaddrinfo(list);
  return ok;
}

int LineSocket::send(std::string_view data) {
  if (fd_ < 0) return kError;
  if (tls_) return tls_->send(data, timeout_);
  // As with receiving: a wait only when the socket's buffer is full.
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return kError;
    int w = wait(POLLOUT, std::chrono::steady_clock::now() + timeout_);
    if (w == 0) return kTimeout;
    if (w < 0) return kError;
  }
  return static_cast<int>(sent);
}

int LineSocket::receive(char* buffer, size_t capacity) {
  if (fd_ < 0) return kError;
  if (tls_) return tls_->receive(buffer, capacity, timeout_);
  // The socket does not block: what is already there is taken without a
  // wait first (a mail arriving in a stream of receives), and only an empty
  // socket is waited on.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, capacity, 0);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return kError;
    if (!deadline) deadline = std::chrono::steady_clock::now() + timeout_;
    int w = wait(POLLIN, *deadline);
    if (w == 0) return kTimeout;
    if (w < 0) return kError;
  }
}

}  // namespace pw
