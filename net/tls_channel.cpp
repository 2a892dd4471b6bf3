#include "net/tls_channel.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>

#include <map>
#include <mutex>

#include "net/poll_wait.h"

namespace pw {
namespace {

using Result = ByteStream::TlsResult;

bool is_numeric_address(const std::string& host) {
  unsigned char buf[16];
  return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// OpenSSL writes with write(): a peer that closed first must cost an error
// result, not the process. Only a default disposition is changed.
void ignore_broken_pipes() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction old {};
    if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
  });
}

// Waits in the direction OpenSSL asked for after `error`; 1 ready, 0 timed
// out, -1 for anything else.
int wait_for(int fd, int error, std::chrono::steady_clock::time_point deadline) {
  if (error == SSL_ERROR_WANT_READ) return poll_until(fd, POLLIN, deadline);
  if (error == SSL_ERROR_WANT_WRITE) return poll_until(fd, POLLOUT, deadline);
  return -1;
}

// The last resumable session each server gave, by key ("host:port" and the
// verification it passed). Shared by every thread of the process.
class SessionCache {
 public:
  static SessionCache& instance() {
    static SessionCache cache;
    return cache;
  }
  // A reference the caller frees; null when none is kept.
  SSL_SESSION* get(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(key);
    if (it == sessions_.end()) return nullptr;
    SSL_SESSION_up_ref(it->second);
    return it->second;
  }
  // Takes over the caller's reference.
  void put(const std::string& key, SSL_SESSION* session) {
    std::lock_guard lock(mutex_);
    SSL_SESSION*& slot = sessions_[key];
    if (slot) SSL_SESSION_free(slot);
    slot = session;
  }
  void drop(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(key);
    if (it == sessions_.end()) return;
    SSL_SESSION_free(it->second);
    sessions_.erase(it);
  }
  // The index under which a connection's SSL carries its key.
  static int key_index() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
  }

 private:
  SessionCache() = default;
  ~SessionCache() {
    for (auto& [key, session] : sessions_) SSL_SESSION_free(session);
  }
  std::mutex mutex_;
  std::map<std::string, SSL_SESSION*> sessions_;
};

// OpenSSL hands over each session the server issues (with TLS 1.3 after the
// handshake, as tickets arrive with the first reads); 1 keeps the reference.
int keep_new_session(SSL* ssl, SSL_SESSION* session) {
  const auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, SessionCache::key_index()));
  if (!key || !SSL_SESSION_is_resumable(session)) return 0;
  SessionCache::instance().put(*key, session);
  return 1;
}

}  // namespace

struct TlsChannel::State {
  int fd = -1;
  SSL_CTX* ctx = nullptr;
  SSL* ssl = nullptr;
  std::string session_key;  // empty: no resumption
  ~State() {
    if (ssl) SSL_free(ssl);
    if (ctx) SSL_CTX_free(ctx);
  }
};

TlsChannel::TlsChannel(std::unique_ptr<State> state) : state_(std::move(state)) {}

TlsChannel::~TlsChannel() = default;

Result TlsChannel::open(int fd, const std::string& host, bool verify, Clock::time_point deadline,
                        std::unique_ptr<TlsChannel>& channel, const std::string& session_key) {
  ignore_broken_pipes();
  auto state = std::make_unique<State>();
  state->fd = fd;
  // A session checked against the trust store is never offered to a
  // connection that does not check, nor the other way round.
  if (!session_key.empty()) state->session_key = session_key + (verify ? " verified" : " unverified");
  // A context per connection: the trust store is read as the environment
  // (SSL_CERT_FILE, SSL_CERT_DIR) says at the time.
  state->ctx = SSL_CTX_new(TLS_client_method());
  if (!state->ctx) return Result::Failed;
  SSL_CTX_set_min_proto_version(state->ctx, TLS1_2_VERSION);
  // A server that closes without close_notify has only closed: the mail
  // protocols frame their own data.
  SSL_CTX_set_options(state->ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  if (verify) {
    if (SSL_CTX_set_default_verify_paths(state->ctx) != 1) return Result::Untrusted;
    SSL_CTX_set_verify(state->ctx, SSL_VERIFY_PEER, nullptr);
  }
  if (!state->session_key.empty()) {
    SSL_CTX_set_session_cache_mode(state->ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(state->ctx, keep_new_session);
  }
  state->ssl = SSL_new(state->ctx);
  if (!state->ssl || SSL_set_fd(state->ssl, fd) != 1) return Result::Failed;
  if (!state->session_key.empty()) {
    SSL_set_ex_data(state->ssl, SessionCache::key_index(), &state->session_key);
    if (SSL_SESSION* kept = SessionCache::instance().get(state->session_key)) {
      (void)SSL_set_session(state->ssl, kept);
      SSL_SESSION_free(kept);
    }
  }
  SSL_set_mode(state->ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_ENABLE_PARTIAL_WRITE);
  const bool numeric = is_numeric_address(host);
  if (!numeric) SSL_set_tlsext_host_name(state->ssl, host.c_str());
  if (verify) {
    X509_VERIFY_PARAM* param = SSL_get0_param(state->ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    bool named = numeric ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1
                         : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1;
    if (!named) return Result::WrongHost;
  }
  for (;;) {
    ERR_clear_error();
    int r = SSL_connect(state->ssl);
    if (r == 1) break;
    int error = SSL_get_error(state->ssl, r);
    if (wait_for(fd, error, deadline) == 1) continue;
    // Whatever went wrong, the next connection starts afresh.
    if (!state->session_key.empty()) SessionCache::instance().drop(state->session_key);
    long verified = SSL_get_verify_result(state->ssl);
    if (!verify || verified == X509_V_OK) return Result::Failed;
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
      return Result::WrongHost;
    return Result::Untrusted;
  }
  channel.reset(new TlsChannel(std::move(state)));
  return Result::Ok;
}

int TlsChannel::send(std::string_view data, std::chrono::milliseconds timeout) {
  size_t sent = 0;
  while (sent < data.size()) {
    ERR_clear_error();
    size_t n = 0;
    if (SSL_write_ex(state_->ssl, data.data() + sent, data.size() - sent, &n) == 1) {
      sent += n;
      continue;
    }
    int error = SSL_get_error(state_->ssl, 0);
    int w = wait_for(state_->fd, error, Clock::now() + timeout);
    if (w == 0) return ByteStream::kTimeout;
    if (w < 0) return ByteStream::kError;
  }
  return static_cast<int>(sent);
}

int TlsChannel::receive(char* buffer, size_t capacity, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    ERR_clear_error();
    size_t n = 0;
    if (SSL_read_ex(state_->ssl, buffer, capacity, &n) == 1) return static_cast<int>(n);
    int error = SSL_get_error(state_->ssl, 0);
    if (error == SSL_ERROR_ZERO_RETURN) return 0;
    int w = wait_for(state_->fd, error, deadline);
    if (w == 0) return ByteStream::kTimeout;
    if (w < 0) return ByteStream::kError;
  }
}

bool TlsChannel::resumed() const { return SSL_session_reused(state_->ssl) == 1; }

void TlsChannel::shut_down() {
  ERR_clear_error();
  (void)SSL_shutdown(state_->ssl);
}

}  // namespace pw
