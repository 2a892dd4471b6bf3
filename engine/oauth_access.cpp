#include "engine/oauth_access.h"

#include <ctime>

#include "base/code_page.h"
#include "res/language.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr int kSignInAgain = 62950;   // "请在窗口中重新登录"
constexpr int kCannotStore = 62977;   // "无法写入令牌文件："
constexpr int kNotSignedIn = 62978;   // "这个邮箱还没有登录"
constexpr int kNoClient = 62976;      // "没有客户端ID：请在系统设置中填写"
constexpr int64_t kAssumedLifetime = 3600;  // when the endpoint does not say

BearerToken failed(std::string error) { return BearerToken{false, {}, std::move(error)}; }

std::string sign_in_again(std::string_view reason) {
  return res::record_text(kSignInAgain) + utf8_to_gb("：") + std::string(reason);
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
  // Held across the refresh: another process sharing the data directory
  // waits, then finds the new tokens instead of spending the rotated one.
  OAuthStore::Lock lock = store_.lock();
  OAuthFile file = store_.load();
  auto it = file.mailboxes.find(OAuthFile::key(address));
  if (it == file.mailboxes.end() || it->second.refresh_token.empty()) return failed(sign_in_again(res::record_text(kNotSignedIn)));
  OAuthMailbox& m = it->second;
  if (!m.refused.empty()) return failed(sign_in_again(m.refused));
  const int64_t now = now_();
  if (!renew && !m.access_token.empty() && m.expires_at > now + kMargin) return BearerToken{true, m.access_token, {}};

  const OAuthClient client = oauth_client(method, file, address);
  if (client.client_id.empty()) return failed(res::record_text(kNoClient));
  TokenReply reply = refresh_grant(client, m.refresh_token, streams_);
  switch (reply.outcome) {
    case TokenReply::Outcome::unreachable:
      return failed(reply.error);
    case TokenReply::Outcome::refused:
      // The grant is dead (revoked, expired): only a new sign-in helps.
      m.refused = reply.error;
      m.access_token.clear();
      m.expires_at = 0;
      (void)store_.save(file);
      return failed(sign_in_again(reply.error));
    case TokenReply::Outcome::granted:
      break;
  }
  m.access_token = reply.grant.access_token;
  m.expires_at = now + (reply.grant.expires_in > 0 ? reply.grant.expires_in : kAssumedLifetime);
  if (!reply.grant.refresh_token.empty()) m.refresh_token = reply.grant.refresh_token;
  // A rotated refresh token that did not reach the disk would be lost with
  // the old one already spent: the new access token is not used then.
  if (!store_.save(file)) return failed(res::record_text(kCannotStore) + utf8_to_gb(store_.path().string()));
  return BearerToken{true, m.access_token, {}};
}

}  // namespace pw
