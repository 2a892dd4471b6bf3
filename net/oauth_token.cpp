#include "net/oauth_token.h"

#include "base/code_page.h"
#include "mail/base64.h"
#include "net/http_post.h"
#include "net/json_object.h"
#include "net/line_socket.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

TokenReply failure(TokenReply::Outcome outcome, std::string error) {
  TokenReply r;
  r.outcome = outcome;
  r.error = std::move(error);
  return r;
}

TokenReply request(const OAuthClient& client, std::map<std::string, std::string> fields, const StreamFactory& streams) {
  using Outcome = TokenReply::Outcome;
  std::optional<HttpUrl> url = parse_http_url(client.token_url);
  if (!url) return failure(Outcome::refused, res::record_text(sid::kTokenReplyGarbled) + client.token_url);
  // Tokens travel only encrypted, except to a server on this machine.
  if (!url->https && !is_loopback_host(url->host))
    return failure(Outcome::refused, res::record_text(sid::kNeedsHttps) + client.token_url);
  fields["client_id"] = client.client_id;
  if (!client.client_secret.empty()) fields["client_secret"] = client.client_secret;
  std::unique_ptr<ByteStream> stream = streams ? streams() : std::make_unique<LineSocket>();
  std::string error;
  std::optional<HttpResponse> response = http_post_form(*stream, *url, form_body(fields), error);
  if (!response) return failure(Outcome::unreachable, res::record_text(sid::kTokenServerUnreachable) + error);
  std::optional<JsonObject> json = parse_json_object(response->body);
  if (response->status == 200 && json && !json_member(*json, "access_token").empty()) {
    TokenReply r;
    r.outcome = Outcome::granted;
    r.grant.access_token = json_member(*json, "access_token");
    r.grant.refresh_token = json_member(*json, "refresh_token");
    r.grant.id_token = json_member(*json, "id_token");
    for (char c : json_member(*json, "expires_in")) {
      if (c < '0' || c > '9' || r.grant.expires_in > 100000000) break;
      r.grant.expires_in = r.grant.expires_in * 10 + (c - '0');
    }
    return r;
  }
  // RFC 6749 5.2: 400 (or 401 for client authentication) with an error code.
  if ((response->status == 400 || response->status == 401) && json && !json_member(*json, "error").empty()) {
    std::string why = json_member(*json, "error");
    if (std::string d = json_member(*json, "error_description"); !d.empty()) why += " " + d.substr(0, 300);
    return failure(Outcome::refused, res::record_text(sid::kTokenRequestRefused) + utf8_to_gb(why));
  }
  return failure(Outcome::unreachable,
                 res::record_text(sid::kTokenReplyGarbled) + "HTTP " + std::to_string(response->status));
}

}  // namespace

TokenReply refresh_grant(const OAuthClient& client, std::string_view refresh_token, const StreamFactory& streams) {
  return request(client, {{"grant_type", "refresh_token"}, {"refresh_token", std::string(refresh_token)}}, streams);
}

TokenReply code_grant(const OAuthClient& client, std::string_view code, std::string_view verifier,
                      std::string_view redirect_uri, const StreamFactory& streams) {
  return request(client,
                 {{"grant_type", "authorization_code"},
                  {"code", std::string(code)},
                  {"code_verifier", std::string(verifier)},
                  {"redirect_uri", std::string(redirect_uri)}},
                 streams);
}

std::string id_token_address(std::string_view id_token) {
  size_t first = id_token.find('.');
  if (first == std::string_view::npos) return {};
  size_t second = id_token.find('.', first + 1);
  if (second == std::string_view::npos) return {};
  std::string payload(id_token.substr(first + 1, second - first - 1));
  for (char& c : payload) {
    if (c == '-') c = '+';
    else if (c == '_') c = '/';
  }
  while (payload.size() % 4) payload += '=';
  std::optional<JsonObject> claims = parse_json_object(base64_decode(payload));
  if (!claims) return {};
  std::string address = json_member(*claims, "email");
  if (address.empty()) address = json_member(*claims, "preferred_username");
  return address;
}

}  // namespace pw
