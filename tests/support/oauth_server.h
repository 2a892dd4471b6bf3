#pragma once
// The fake OAuth 2.0 authorization server (oauth_server.py) on 127.0.0.1:
// authorize, token (PKCE checked; refresh, rotation, revocation) and the
// introspection endpoint Dovecot and the SMTP server validate tokens with.
#include <optional>
#include <string>
#include <vector>

#include "net/oauth_token.h"
#include "stores/oauth_store.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace pw::test {

class OAuthServer {
 public:
  struct Options {
    bool rotate = false;        // every refresh issues a new refresh token
    bool wrong_state = false;   // the redirect carries another state
    int ttl = 3600;             // access token lifetime, seconds
    int token_length = 300;
  };
  explicit OAuthServer(Options options);
  OAuthServer() : OAuthServer(Options{}) {}

  [[nodiscard]] bool running() const { return port_ > 0; }
  [[nodiscard]] int port() const { return port_; }
  [[nodiscard]] std::string url(const std::string& path) const;
  [[nodiscard]] std::string log() const;
  // The custom provider settings a mailbox signs in with here.
  [[nodiscard]] OAuthClient client() const;
  // "revoke" or "expire" (see oauth_server.py).
  [[nodiscard]] bool control(const std::string& action) const;
  // A counter of /stats: "codes", "refreshes", "rotations"; -1 on failure.
  [[nodiscard]] int stat(const std::string& name) const;
  // Signs in as the browser and the program would, without a window: a code
  // for a fixed verifier, redeemed at once.
  [[nodiscard]] std::optional<TokenGrant> grant() const;
  // The same, the grant stored in `dir`'s token file for `address` with this
  // server as its custom provider.
  [[nodiscard]] bool sign_in(const ProgramDir& dir, const std::string& address) const;
  void stop() { process_.stop(); port_ = 0; }

 private:
  TempDir dir_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace pw::test
