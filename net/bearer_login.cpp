#include "net/bearer_login.h"

#include <algorithm>
#include <cctype>

#include "base/code_page.h"
#include "mail/base64.h"
#include "net/json_object.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

// What the status of an error challenge means for the user: XOAUTH2 gives
// an HTTP code, OAUTHBEARER an RFC 6750 error code (RFC 7628 3.2.2); 0 for
// one without words.
int status_text(std::string_view status) {
  if (status == "400" || status == "invalid_request") return sid::kBearerBadRequest;
  if (status == "401" || status == "invalid_token")
    return sid::kBearerBadToken;  // invalid, expired or not this login's
  if (status == "403" || status == "insufficient_scope") return sid::kBearerNoScope;
  return 0;
}

bool same_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string trimmed(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

const char* mechanism_name(BearerMechanism m) {
  return m == BearerMechanism::oauthbearer ? "OAUTHBEARER" : "XOAUTH2";
}

void append_words(std::string_view list, std::vector<std::string>& out) {
  for (size_t at = 0; at < list.size();) {
    size_t end = std::min(list.find(' ', at), list.size());
    if (end > at) out.emplace_back(list.substr(at, end - at));
    at = end + 1;
  }
}

std::optional<BearerMechanism> choose_bearer(const std::vector<std::string>& offered) {
  bool xoauth2 = false;
  for (const std::string& word : offered) {
    if (same_ci(word, "OAUTHBEARER")) return BearerMechanism::oauthbearer;
    if (same_ci(word, "XOAUTH2")) xoauth2 = true;
  }
  if (xoauth2) return BearerMechanism::xoauth2;
  return std::nullopt;
}

std::string bearer_response(BearerMechanism m, std::string_view user, std::string_view token) {
  std::string out;
  if (m == BearerMechanism::oauthbearer) {
    // gs2-header: no channel binding, the authorization identity; ',' and
    // '=' in it are escaped (RFC 5801 5.1).
    out = "n,a=";
    for (char c : user) {
      if (c == ',') out += "=2C";
      else if (c == '=') out += "=3D";
      else out += c;
    }
    out += ",\x01";
  } else {
    out = "user=";
    out += user;
    out += '\x01';
  }
  out += "auth=Bearer ";
  out += token;
  out += "\x01\x01";
  return out;
}

std::string_view bearer_abort(BearerMechanism m) { return m == BearerMechanism::oauthbearer ? "\x01" : ""; }

std::string bearer_refusal_text(std::string_view challenge_base64, std::string_view final_reply) {
  std::string text = res::record_text(sid::kTokenRefused);
  std::vector<std::string> details;
  int meaning = 0;
  if (std::optional<JsonObject> status = parse_json_object(base64_decode(challenge_base64))) {
    meaning = status_text(json_member(*status, "status"));
    for (const char* key : {"status", "error", "scope"})
      if (std::string v = json_member(*status, key); !v.empty()) details.push_back(std::string(key) + " " + v);
  }
  if (meaning) text += utf8_to_gb("：") + res::record_text(meaning);
  if (!details.empty()) {
    text += utf8_to_gb("（");
    for (size_t i = 0; i < details.size(); ++i) text += (i ? ", " : "") + utf8_to_gb(details[i]);
    text += utf8_to_gb("）");
  }
  if (std::string reply = trimmed(final_reply); !reply.empty()) text += utf8_to_gb("：") + reply;
  return text;
}

}  // namespace pw
