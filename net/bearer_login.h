#pragma once
// Logging in with an OAuth 2.0 access token: the SASL mechanisms XOAUTH2
// (Google's and Microsoft's) and OAUTHBEARER (RFC 7628), shared by the POP3
// and SMTP sessions.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

enum class BearerMechanism { xoauth2, oauthbearer };

[[nodiscard]] const char* mechanism_name(BearerMechanism m);

// The words of a server's list of mechanisms ("PLAIN XOAUTH2 ..."), as
// choose_bearer takes them; appended to `out`.
void append_words(std::string_view list, std::vector<std::string>& out);

// The mechanism to use among those a server lists (its SASL or AUTH words,
// any case): OAUTHBEARER, the standard one, when offered, else XOAUTH2;
// nullopt when it offers neither.
[[nodiscard]] std::optional<BearerMechanism> choose_bearer(const std::vector<std::string>& offered);

// The client's first message before Base64: XOAUTH2
// "user=U^Aauth=Bearer T^A^A", OAUTHBEARER "n,a=U,^Aauth=Bearer T^A^A".
[[nodiscard]] std::string bearer_response(BearerMechanism m, std::string_view user, std::string_view token);

// What the client answers to the server's error challenge so the exchange
// ends with the refusal: nothing for XOAUTH2, ^A for OAUTHBEARER (RFC 7628
// 3.2.3).
[[nodiscard]] std::string_view bearer_abort(BearerMechanism m);

// The reason for the user when the server refused the token: the error
// challenge (Base64 of a JSON status such as {"status":"401",
// "schemes":"bearer","scope":"..."}) read into words, then the final reply.
// GB18030.
[[nodiscard]] std::string bearer_refusal_text(std::string_view challenge_base64, std::string_view final_reply);

// What a session is given to log in with: the current access token, or a
// fresh one after the server refused the last (`renew`).
struct BearerToken {
  bool ok = false;
  std::string token;  // when ok
  std::string error;  // when not: why no token could be had (GB18030)
};
using BearerSource = std::function<BearerToken(bool renew)>;

}  // namespace pw
