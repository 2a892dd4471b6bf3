#pragma once
// A real SMTP server for tests: aiosmtpd (smtp_server.py) on a loopback
// address, started by the constructor and stopped by the destructor. It saves
// every message it accepts, so a test compares byte for byte what was sent.
//
//   test::SmtpServer server(test::SmtpServerOptions().with_login("bob", "secret"));
//   ASSERT_TRUE(server.running()) << server.log();
//   ... send to server.field() ...
//   ASSERT_TRUE(server.wait_for_mails(1));
//   EXPECT_EQ(server.mails()[0].data, message);
#include <chrono>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace pw::test {

struct SmtpServerOptions {
  std::string address = "127.0.0.1";  // any 127.x address works
  int port = 0;                       // 0: a free port; 25 for a mail exchanger
  std::string user;                   // non-empty: AUTH LOGIN offered and required
  std::string password;
  std::vector<std::string> refused;     // recipients answered with 550
  bool silent_after_mail_from = false;  // answers MAIL FROM, then never again
  // TLS with this certificate and key (PEM files): STARTTLS, required before
  // AUTH and MAIL, or with `implicit_tls` TLS from the first byte.
  std::string tls_cert;
  std::string tls_key;
  bool implicit_tls = false;
  bool plain_only = false;  // AUTH offers PLAIN and not LOGIN
  std::string oauth_introspection;  // non-empty: bearer tokens checked there
  std::string oauth_mechanisms = "XOAUTH2 OAUTHBEARER";  // the bearer mechanisms offered

  SmtpServerOptions& on(std::string a, int p) { return address = std::move(a), port = p, *this; }
  SmtpServerOptions& with_login(std::string u, std::string p) {
    return user = std::move(u), password = std::move(p), *this;
  }
  SmtpServerOptions& refusing(std::string recipient) { return refused.push_back(std::move(recipient)), *this; }
  SmtpServerOptions& silent_after_mail() { return silent_after_mail_from = true, *this; }
  SmtpServerOptions& with_tls(std::string cert, std::string key, bool implicit) {
    return tls_cert = std::move(cert), tls_key = std::move(key), implicit_tls = implicit, *this;
  }
  SmtpServerOptions& with_oauth(std::string introspection_url, std::string mechanisms = "XOAUTH2 OAUTHBEARER") {
    return oauth_introspection = std::move(introspection_url), oauth_mechanisms = std::move(mechanisms), *this;
  }
  SmtpServerOptions& offering_plain_only() { return plain_only = true, *this; }
};

struct ReceivedMail {
  std::string mail_from;
  std::vector<std::string> recipients;  // RCPT TO addresses, in order
  std::string data;  // the message as the client meant it: dots unstuffed, without the final "." line
  bool tls = false;  // the message came over TLS
  std::string login;  // the user name it was sent with, empty without AUTH
};

class SmtpServer {
 public:
  explicit SmtpServer(SmtpServerOptions options = {});

  // False when the server did not come up; log() tells why.
  [[nodiscard]] bool running() const { return port_ > 0; }
  [[nodiscard]] const std::string& address() const { return options_.address; }
  [[nodiscard]] int port() const { return port_; }
  // "address:port", as a server field of an account.
  [[nodiscard]] std::string field() const { return options_.address + ":" + std::to_string(port_); }

  // The messages accepted so far, in order.
  [[nodiscard]] std::vector<ReceivedMail> mails() const;
  // Waits until at least `count` messages were accepted.
  [[nodiscard]] bool wait_for_mails(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  // What the server wrote to its standard error.
  [[nodiscard]] std::string log() const;

 private:
  SmtpServerOptions options_;
  TempDir dir_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace pw::test
