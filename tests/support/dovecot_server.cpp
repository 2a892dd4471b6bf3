#include "support/dovecot_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace pw::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kDovecot = "/usr/sbin/dovecot";

// A port the kernel considers free right now on 127.0.0.1.
int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

// The first line the server at `address`:`port` sends, or "" when it does
// not accept a connection or says nothing within a second. With `accepting`
// only the connection counts (a TLS listener says nothing in plaintext).
std::string greeting_at(const std::string& address, int port, bool accepting = false) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  sockaddr_in a{};
  a.sin_family = AF_INET;
  ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
  a.sin_port = htons(static_cast<uint16_t>(port));
  std::string line;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    if (accepting) {
      ::close(fd);
      return "accepted";
    }
    auto deadline = Clock::now() + 1s;
    char c = 0;
    while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (::read(fd, &c, 1) != 1) break;
      line += c;
    }
    (void)::write(fd, "QUIT\r\n", 6);
  }
  ::close(fd);
  return line;
}

// True when some process other than a zombie still belongs to process group `pgid`.
bool group_alive(pid_t pgid) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!in || !std::getline(in, stat)) continue;
    // pid (comm) state ppid pgrp ...: comm may hold blanks, so start after ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = 0;
    long ppid = 0, pgrp = 0;
    rest >> state >> ppid >> pgrp;
    if (pgrp == pgid && state != 'Z') return true;
  }
  return false;
}

std::string user_name(uid_t uid) {
  const passwd* pw = ::getpwuid(uid);
  return pw ? pw->pw_name : std::to_string(uid);
}

std::string group_name(gid_t gid) {
  const group* gr = ::getgrgid(gid);
  return gr ? gr->gr_name : std::to_string(gid);
}

}  // namespace

DovecotServer::DovecotServer() {
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  mail_uid_ = nobody ? nobody->pw_uid : ::getuid();
  mail_gid_ = nobody ? nobody->pw_gid : ::getgid();
}

DovecotServer::~DovecotServer() { stop(); }

std::string DovecotServer::server_field() const {
  return (tls_.mode == Tls::Mode::none ? "127.0.0.1" : tls_.address) + ":" + std::to_string(port_);
}

std::string DovecotServer::log() const { return dir_.read("dovecot.log"); }

fs::path DovecotServer::maildir(const std::string& user) const { return dir_ / "home" / user / "Maildir"; }

std::string DovecotServer::wire_form(std::string_view message) {
  std::string out;
  out.reserve(message.size() + message.size() / 32);
  for (char c : message) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void DovecotServer::give_to_mail_owner(const fs::path& p) const {
  if (::geteuid() == 0) (void)::chown(p.c_str(), mail_uid_, mail_gid_);
}

void DovecotServer::make_maildir(const std::string& user) const {
  fs::path home = dir_ / "home" / user;
  if (fs::is_directory(home / "Maildir" / "cur")) return;
  for (const char* sub : {"tmp", "new", "cur"}) fs::create_directories(home / "Maildir" / sub);
  for (const fs::path& p : {home, home / "Maildir", home / "Maildir" / "tmp", home / "Maildir" / "new",
                            home / "Maildir" / "cur"})
    give_to_mail_owner(p);
}

void DovecotServer::deliver(const std::string& user, std::string_view message) {
  make_maildir(user);
  std::string text;
  text.reserve(message.size());
  for (size_t i = 0; i < message.size(); ++i)
    if (!(message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')) text += message[i];
  std::string name = std::to_string(::time(nullptr)) + "." + std::to_string(::getpid()) + "_" +
                     std::to_string(++deliveries_) + ".pelliwick";
  fs::path tmp = maildir(user) / "tmp" / name;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  give_to_mail_owner(tmp);
  fs::rename(tmp, maildir(user) / "new" / name);
}

size_t DovecotServer::message_count(const std::string& user) const {
  size_t n = 0;
  std::error_code ec;
  for (const char* sub : {"new", "cur"})
    for (const auto& entry : fs::directory_iterator(maildir(user) / sub, ec))
      if (entry.is_regular_file()) ++n;
  return n;
}

bool DovecotServer::write_config(int port) {
  const bool root = ::geteuid() == 0;
  // Dovecot's unprivileged processes must reach the homes inside the directory.
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  std::string users;
  for (const User& u : users_) {
    users += u.name + ":{PLAIN}" + u.password + ":" + std::to_string(mail_uid_) + ":" + std::to_string(mail_gid_) +
             "::" + (dir_ / "home" / u.name).string() + "::\n";
    make_maildir(u.name);
  }
  dir_.write("users", users);

  const std::string d = dir_.path().string();
  const bool implicit = tls_.mode == Tls::Mode::implicit;
  const std::string address = tls_.mode == Tls::Mode::none ? "127.0.0.1" : tls_.address;
  const std::string self_user = user_name(::getuid());
  const std::string self_group = group_name(::getgid());
  std::ostringstream c;
  c << "base_dir = " << d << "/run\n"
    << "state_dir = " << d << "/state\n"
    << "instance_name = " << fs::path(d).filename().string() << "\n"
    << "log_path = " << d << "/dovecot.log\n"
    << "protocols = pop3\n"
    << "listen = " << address << "\n";
  if (tls_.mode == Tls::Mode::none) {
    c << "ssl = no\n"
      << "disable_plaintext_auth = no\n";
  } else {
    c << "ssl = " << (tls_.mode == Tls::Mode::implicit ? "required" : "yes") << "\n"
      << "ssl_cert = <" << tls_.cert << "\n"
      << "ssl_key = <" << tls_.key << "\n"
      << "disable_plaintext_auth = yes\n";
  }
  c << "auth_mechanisms = plain login" << (oauth_introspection_.empty() ? "" : " " + oauth_mechanisms_) << "\n"
    << "auth_failure_delay = 0\n"
    << "mail_location = maildir:~/Maildir\n"
    << "first_valid_uid = 1\n"
    << "pop3_uidl_format = %08Xu%08Xv\n"
    << "login_greeting = " << greeting_ << "\n"
    << "default_internal_user = " << (root ? "dovecot" : self_user) << "\n"
    << "default_internal_group = " << (root ? "dovecot" : self_group) << "\n"
    << "default_login_user = " << (root ? "dovenull" : self_user) << "\n"
    << oauth_passdb()
    << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " << d << "/users\n}\n"
    << "userdb {\n  driver = passwd-file\n  args = " << d << "/users\n}\n"
    << "service pop3-login {\n  chroot = " << (root ? "login" : "") << "\n"
    << "  process_min_avail = " << ready_logins_ << "\n"
    << "  service_count = " << (reused_logins_ ? 0 : 1) << "\n"
    << "  inet_listener pop3 {\n    address = " << address << "\n    port = " << (implicit ? 0 : port) << "\n  }\n"
    << "  inet_listener pop3s {\n    address = " << address << "\n    port = " << (implicit ? port : 0)
    << "\n    ssl = yes\n  }\n}\n"
    << "service anvil {\n  chroot =\n}\n"
    << "service imap-login {\n  chroot =\n}\n";
  dir_.write("dovecot.conf", c.str());
  return true;
}

// Bearer tokens are validated at the authorization server's introspection
// endpoint; the password passdb after it still serves USER/PASS.
std::string DovecotServer::oauth_passdb() const {
  if (oauth_introspection_.empty()) return {};
  dir_.write("oauth2.conf.ext", "introspection_url = " + oauth_introspection_ +
                                    "\nintrospection_mode = post\nusername_attribute = username\n"
                                    "active_attribute = active\nactive_value = true\n");
  return "passdb {\n  driver = oauth2\n  mechanisms = " + oauth_mechanisms_ + "\n  args = " +
         (dir_ / "oauth2.conf.ext").string() + "\n}\n";
}

bool DovecotServer::launch() {
  std::string conf = (dir_ / "dovecot.conf").string();
  pid_t pid = ::fork();
  if (pid < 0) {
    error_ = "fork failed";
    return false;
  }
  if (pid == 0) {
    // Own process group, so that stop() can find every process of this server;
    // no inherited descriptors, so that nobody waits on a pipe Dovecot holds.
    ::setsid();
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::close_range(3, ~0U, 0);
    ::execl(kDovecot, kDovecot, "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  master_pid_ = pid;
  auto deadline = Clock::now() + 10s;
  bool penalty_off = false;
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      master_pid_ = 0;
      error_ = "dovecot exited at start (status " + std::to_string(status) + "): " + log();
      return false;
    }
    // The auth process connects to the penalty socket when the first client
    // logs in; without the socket it runs without the failed-login penalty.
    if (!penalty_off && fs::exists(dir_ / "run" / "anvil-auth-penalty")) {
      fs::remove(dir_ / "run" / "anvil-auth-penalty");
      penalty_off = true;
    }
    // A Dovecot without that socket is used as it is, once it had time to make it.
    bool settled = penalty_off || Clock::now() > deadline - 9s;
    if (settled && tls_.mode == Tls::Mode::implicit) {
      if (greeting_at(tls_.address, port_, true) == "accepted") return true;
    } else if (settled && greeting_at(tls_.mode == Tls::Mode::none ? "127.0.0.1" : tls_.address, port_) ==
                              "+OK " + greeting_ + "\r\n") {
      return true;
    }
    std::this_thread::sleep_for(5ms);
  }
  error_ = "dovecot did not answer on port " + std::to_string(port_) + ": " + log();
  stop();
  return false;
}

bool DovecotServer::start(const std::vector<User>& users) {
  stop();
  users_ = users;
  std::random_device rd;
  greeting_ = "Pelliwick test server " + std::to_string(rd()) + std::to_string(rd());
  // A free port can be taken by someone else before Dovecot binds it: retry.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = tls_.port != 0 ? tls_.port : free_port();
    if (port_ == 0) {
      error_ = "no free port";
      return false;
    }
    if (!write_config(port_)) return false;
    if (launch()) {
      error_.clear();
      return true;
    }
  }
  return false;
}

void DovecotServer::stop() {
  if (master_pid_ <= 0) return;
  pid_t pid = master_pid_;
  master_pid_ = 0;
  // The whole group at once: the master alone would wait for its children.
  // A throwaway server has nothing to save, so a group that is slow to go is
  // killed after a short grace.
  ::kill(-pid, SIGTERM);
  bool reaped = false;
  auto grace = Clock::now() + 300ms;
  auto deadline = Clock::now() + 5s;
  bool killed = false;
  while (Clock::now() < deadline) {
    if (!reaped && ::waitpid(pid, nullptr, WNOHANG) == pid) reaped = true;
    if (reaped && !group_alive(pid)) return;
    if (!killed && Clock::now() > grace) {
      ::kill(-pid, SIGKILL);
      killed = true;
    }
    std::this_thread::sleep_for(2ms);
  }
  if (!reaped) ::waitpid(pid, nullptr, 0);
}

}  // namespace pw::test
