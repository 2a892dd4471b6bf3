#include "engine/oauth_access.h"

#include <ctime>
#include <optional>

#include "base/code_page.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr int64_t kAssumedLifetime = 3600;  // when the endpoint does not say

BearerToken failed(std::string error) { return BearerToken{false, {}, std::move(error)}; }

std::string sign_in_again(std::string_view reason) {
  return res::record_text(sid::kSignInAgain) + utf8_to_gb("：") + std::string(reason);
}

}  // namespace

OAuthAccess::OAuthAccess(const ProgramDir& dir, StreamFactory streams, Clock now)
    : store_(dir), streams_(std::move(streams)), now_(std::move(now)) {
  if (!now_) now_ = [] { return static_cast<int64_t>(std::time(nullptr)); };
}

BearerSource OAuthAccess::source(std::string_view address, MailboxRecord::SignIn method) const {
  return [this, address = std::string(address), method](bool renew) { return token(address, method, renew); };
}

bool OAuthAccess::needs_sign_in(const OAuthFile& file, std::string_view address) {
  const OAuthMailbox* m = file.mailbox(address);
  return !m || m->refresh_token.empty() || !m->refused.empty();
}

BearerToken OAuthAccess::token(std::string_view address, MailboxRecord::SignIn method, bool renew) const {
  const int64_t now = now_();
  // The stored token when it is good; the reason when there is no grant.
  // `refused_token` is the access token the server has just refused.
  auto stored = [&](const OAuthFile& file, std::string_view refused_token) -> std::optional<BearerToken> {
    const OAuthMailbox* m = file.mailbox(address);
    if (!m || m->refresh_token.empty()) return failed(sign_in_again(res::record_text(sid::kMailboxNotSignedIn)));
    if (!m->refused.empty()) return failed(sign_in_again(m->refused));
    if ((!renew || m->access_token != refused_token) && !m->access_token.empty() && m->expires_at > now + kMargin)
      return BearerToken{true, m->access_token, {}};
    return std::nullopt;
  };
  std::string refused_token;
  {
    OAuthStore::Lock lock = store_.lock();
    const OAuthFile file = store_.load();
    if (std::optional<BearerToken> t = stored(file, {}); t && (!t->ok || !renew)) return *t;
    if (const OAuthMailbox* m = file.mailbox(address)) refused_token = m->access_token;
  }

  // One refresh at a time, and with the file's lock free meanwhile: the
  // window and the sessions holding good tokens never wait for a token
  // endpoint. Another session may have refreshed while this one waited.
  OAuthStore::Lock refreshing = store_.refresh_lock();
  OAuthFile file = store_.load();
  if (std::optional<BearerToken> t = stored(file, refused_token)) return *t;
  const std::string used = file.mailbox(address)->refresh_token;
  const OAuthClient client = oauth_client(method, file, address);
  if (client.client_id.empty()) return failed(res::record_text(sid::kNoClientId));
  TokenReply reply = refresh_grant(client, used, streams_);
  if (reply.outcome == TokenReply::Outcome::unreachable) return failed(reply.error);

  OAuthStore::Lock lock = store_.lock();
  file = store_.load();
  auto it = file.mailboxes.find(OAuthFile::key(address));
  // A new sign-in in the window (or the mailbox deleted) meanwhile: that
  // stands, and this refresh's outcome is not stored.
  OAuthMailbox* m = it != file.mailboxes.end() && it->second.refresh_token == used ? &it->second : nullptr;
  if (reply.outcome == TokenReply::Outcome::refused) {
    // The grant is dead (revoked, expired): only a new sign-in helps.
    if (m) {
      m->refused = reply.error;
      m->access_token.clear();
      m->expires_at = 0;
      (void)store_.save(file);
    }
    return failed(sign_in_again(reply.error));
  }
  if (!m) return BearerToken{true, reply.grant.access_token, {}};
  m->access_token = reply.grant.access_token;
  m->expires_at = now + (reply.grant.expires_in > 0 ? reply.grant.expires_in : kAssumedLifetime);
  if (!reply.grant.refresh_token.empty()) m->refresh_token = reply.grant.refresh_token;
  // A rotated refresh token that did not reach the disk would be lost with
  // the old one already spent: the new access token is not used then.
  if (!store_.save(file)) return failed(res::record_text(sid::kCannotStoreToken) + utf8_to_gb(store_.path().string()));
  return BearerToken{true, m->access_token, {}};
}

}  // namespace pw
