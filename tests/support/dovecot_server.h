#pragma once
// A throwaway Dovecot POP3 server on 127.0.0.1 for tests and benchmarks.
//
//   test::DovecotServer server;
//   ASSERT_TRUE(server.start({{"alice", "secret"}})) << server.error();
//   server.deliver("alice", "Subject: hi\n\nbody\n");
//   Pop3Session pop;  pop.log_in(server.server_field(), "alice", "secret");
//
// Everything (configuration, runtime sockets, user homes with their Maildir,
// the log) lives in a private temporary directory; the port is a free one
// chosen at start, so any number of servers can run side by side. The
// destructor stops the server and waits until none of its processes is left.
//
// Mails are stored the way Maildir keeps them, with LF line ends; Dovecot
// serves them with CR LF (see wire_form). The failed-login penalty of
// Dovecot is switched off so that password-correction tests do not wait
// seconds for each retry; the fixed 0.5 s delay after a refusal remains.
// Run as root (CI) the users' mail belongs to "nobody"; otherwise to the
// calling user.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace pw::test {

class DovecotServer {
 public:
  struct User {
    std::string name;
    std::string password;
  };

  // TLS for the POP3 listener (set before start). Dovecot treats a client
  // from its own address as secure, so a TLS server listens on another
  // loopback address (127.0.0.10) and refuses plaintext log-ins.
  struct Tls {
    enum class Mode { none, implicit, stls };
    Mode mode = Mode::none;
    std::string address = "127.0.0.10";
    int port = 0;  // 0: a free one
    std::string cert;  // PEM files
    std::string key;
  };

  DovecotServer();
  ~DovecotServer();
  void set_tls(Tls tls) { tls_ = std::move(tls); }
  // Offers the bearer `mechanisms` (Dovecot's lower-case names), validating
  // tokens at this introspection endpoint (set before start). Outlook.com
  // offers only XOAUTH2.
  void set_oauth(std::string introspection_url, std::string mechanisms = "xoauth2 oauthbearer") {
    oauth_introspection_ = std::move(introspection_url);
    oauth_mechanisms_ = std::move(mechanisms);
  }
  // Log-in processes kept started and waiting (set before start), as a
  // production server has them: a connection is greeted without waiting for
  // a process to start. 0 (the default) starts one per connection.
  void set_ready_logins(int count) { ready_logins_ = count; }
  // One log-in process serves many connections (Dovecot's performance mode)
  // instead of one each: TLS sessions it issued can be resumed.
  void set_reused_logins(bool reused) { reused_logins_ = reused; }
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  // Writes the configuration for `users`, starts Dovecot and waits until it
  // answers on its port. False (with the reason in error()) when it does not.
  [[nodiscard]] bool start(const std::vector<User>& users);
  // Stops the server; harmless when it is not running.
  void stop();

  [[nodiscard]] bool running() const { return master_pid_ > 0; }
  [[nodiscard]] int port() const { return port_; }
  // "ADDRESS:PORT", the form a mailbox account's server field takes.
  [[nodiscard]] std::string server_field() const;
  [[nodiscard]] const std::string& error() const { return error_; }
  // The server's log so far (for failure messages).
  [[nodiscard]] std::string log() const;

  // Puts `message` into the inbox of `user` (one of the users given to
  // start) as a new mail. CR LF line ends are stored as LF; a lone CR stays.
  // May be called before or after start, also between sessions.
  void deliver(const std::string& user, std::string_view message);
  // The number of mails in the inbox of `user` as stored on disk.
  [[nodiscard]] size_t message_count(const std::string& user) const;
  // The inbox directory of `user`.
  [[nodiscard]] std::filesystem::path maildir(const std::string& user) const;

  // What the server sends for a stored `message` (LF turned into CR LF), the
  // bytes a client should end up with after RETR.
  [[nodiscard]] static std::string wire_form(std::string_view message);

 private:
  bool write_config(int port);
  bool launch();
  std::string oauth_passdb() const;
  void make_maildir(const std::string& user) const;
  void give_to_mail_owner(const std::filesystem::path& p) const;

  TempDir dir_;
  Tls tls_;
  std::string oauth_introspection_;
  std::string oauth_mechanisms_;
  std::vector<User> users_;
  uid_t mail_uid_ = 0;
  gid_t mail_gid_ = 0;
  int port_ = 0;
  int ready_logins_ = 0;
  bool reused_logins_ = false;
  pid_t master_pid_ = 0;
  std::string greeting_;
  std::string error_;
  unsigned deliveries_ = 0;
};

}  // namespace pw::test
