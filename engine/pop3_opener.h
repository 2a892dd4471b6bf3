#pragma once
// Every POP3 session of the program is opened here: the check run's scan and
// deletion phase, remote management and the download of a whole mail. The
// opener makes the connection (a LineSocket with the 20-second wait, or the
// stream a test gives), hands the session the protocol log, asks for the TLS
// the account wants (the session itself reads CAPA and upgrades with STLS,
// and refuses a server without it when TLS is required) and signs in. So
// `--trace` sees every POP3 exchange, and a change to how sessions connect
// or sign in is made once.
//
//   Pop3Connection pop = open_pop3(Pop3Account::of(account.record()), options);
//   if (!pop.ok()) report(pop.error_text());  // the session is there anyway
//   if (pop.ok() && pop->uidl_all()) ...
//   keep_login_correction(*pop, account);
//   keep_tls_seen(pop, account);   // the first verified TLS with its server
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "net/byte_stream.h"
#include "net/login_prompt.h"
#include "net/protocol_trace.h"
#include "stores/mailbox_record.h"

namespace pw {

class EngineHost;
class MailboxAccount;
class OAuthAccess;
class Pop3Session;

// What reaching an account's POP server takes.
struct Pop3Account {
  std::string server;  // "host" or "host:port"
  std::string login;
  std::string password;
  bool require_tls = false;
  // The server completed a TLS handshake before: one that offers no TLS now
  // is refused as a downgrade.
  bool tls_seen = false;
  // An account signed in with OAuth 2.0 logs in with its access token (and
  // always over TLS); `address` names it in the token file.
  MailboxRecord::SignIn sign_in = MailboxRecord::SignIn::password;
  std::string address;

  // The POP side of a stored account: the one place its TLS choice is read.
  [[nodiscard]] static Pop3Account of(const MailboxRecord& record);
};

// How a caller's sessions are opened.
struct Pop3Options {
  // The connection of each session; empty: a LineSocket. Tests give peers.
  std::function<std::unique_ptr<ByteStream>()> stream = {};
  // The protocol log; empty: none.
  ProtocolTrace trace = {};
  // Asked when the server refuses the password; empty: the refusal fails.
  LoginPrompt login_prompt = {};
  // The clock the replies' pace is measured by; empty: the steady clock.
  // Tests pass one that their scripted peers move.
  std::function<std::chrono::steady_clock::time_point()> clock = {};
  // The access tokens of accounts signed in with OAuth 2.0; empty: such an
  // account cannot sign in.
  std::shared_ptr<const OAuthAccess> oauth = {};
  // The listings a pipelining server gets together with the password (see
  // Pop3Session::set_listings_with_sign_in).
  bool uidl_with_sign_in = false;
  bool list_with_sign_in = false;
};

// The password dialog of `host` as the prompt of a POP3 session.
[[nodiscard]] LoginPrompt pop3_login_prompt(EngineHost& host);

// A session with the connection it talks over. It exists also when opening
// failed: its error text says why, and it holds any correction the user
// typed into the password dialog.
class Pop3Connection {
 public:
  Pop3Connection(std::unique_ptr<ByteStream> stream, std::unique_ptr<Pop3Session> session, bool ok,
                 std::string server = {});
  Pop3Connection(Pop3Connection&&) noexcept;
  Pop3Connection& operator=(Pop3Connection&&) noexcept;
  ~Pop3Connection();

  // Connected and signed in.
  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] Pop3Session& operator*() const { return *session_; }
  [[nodiscard]] Pop3Session* operator->() const { return session_.get(); }
  [[nodiscard]] const std::string& error_text() const;
  // The account's server field the connection was opened to.
  [[nodiscard]] const std::string& server() const { return server_; }

 private:
  std::unique_ptr<ByteStream> stream_;    // outlives the session, declared first
  std::unique_ptr<Pop3Session> session_;
  bool ok_ = false;
  std::string server_;
};

// Connects to the account's server and signs in.
[[nodiscard]] Pop3Connection open_pop3(const Pop3Account& account, const Pop3Options& options);

// The sign-in on a connected session: USER, then PASS (with the session's
// password correction; both sent together when the server pipelines), or
// AUTH with the account's OAuth 2.0 access token. 1 when signed in, 0 with the
// reason in the session.
[[nodiscard]] int sign_in(Pop3Session& pop, const Pop3Account& account, const OAuthAccess* oauth = nullptr);

// Stores in `account` the log-in data the user corrected during `pop` (an
// emptied value keeps the stored one).
void keep_login_correction(const Pop3Session& pop, MailboxAccount& account);

// Marks `account` as having completed a verified TLS handshake with its POP
// server when `pop` did (and that is still its server). True when the mark is
// new: the record then differs from the stored one.
bool keep_tls_seen(const Pop3Connection& pop, MailboxAccount& account);

}  // namespace pw
