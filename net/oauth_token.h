#pragma once
// Requests to an OAuth 2.0 token endpoint (RFC 6749 4.1.3 and 6): redeeming
// an authorization code with its PKCE verifier (RFC 7636) and refreshing an
// access token. Plain blocking calls for a worker thread.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/byte_stream.h"
#include "stores/oauth_store.h"

namespace pw {

struct TokenGrant {
  std::string access_token;
  std::string refresh_token;  // empty when the endpoint kept the old one
  std::string id_token;       // OpenID Connect, when the scopes asked for it
  int64_t expires_in = 0;     // seconds; 0 when the endpoint did not say
};

struct TokenReply {
  enum class Outcome {
    granted,
    refused,      // the endpoint said no: revoked or expired grant, wrong client (sign in again)
    unreachable,  // no answer, an answer that is no token, a server error (try later)
  };
  Outcome outcome = Outcome::unreachable;
  TokenGrant grant;
  std::string error;  // the reason for the user, GB18030
};

// Opens the connection a request goes over; tests give their own.
using StreamFactory = std::function<std::unique_ptr<ByteStream>()>;

[[nodiscard]] TokenReply refresh_grant(const OAuthClient& client, std::string_view refresh_token,
                                       const StreamFactory& streams = {});
[[nodiscard]] TokenReply code_grant(const OAuthClient& client, std::string_view code, std::string_view verifier,
                                    std::string_view redirect_uri, const StreamFactory& streams = {});

// The address an OpenID Connect ID token names ("email", else
// "preferred_username"), read without checking its signature: it only
// labels the sign-in for the user. Empty when there is none.
[[nodiscard]] std::string id_token_address(std::string_view id_token);

}  // namespace pw
