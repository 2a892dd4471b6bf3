#pragma once
// The access token a mailbox signed in with OAuth 2.0 logs in with. Taken
// from the token file while it has more than a minute left, otherwise (and
// when the server refused it) refreshed at the token endpoint with the
// stored refresh token; never through a browser. A rotated refresh token is
// stored before the new access token is used. A refused refresh marks the
// mailbox as needing a new sign-in in the window and fails with
// "请在窗口中重新登录" and the reason; an endpoint that cannot be reached
// fails only this log-in.
#include <chrono>
#include <cstdint>
#include <functional>

#include "base/program_dir.h"
#include "net/bearer_login.h"
#include "net/oauth_token.h"
#include "stores/mailbox_record.h"
#include "stores/oauth_store.h"

namespace pw {

class OAuthAccess {
 public:
  using Clock = std::function<int64_t()>;  // seconds since the epoch

  explicit OAuthAccess(const ProgramDir& dir, StreamFactory streams = {}, Clock now = {});

  // A token source for `record`'s mailbox, for Pop3Session::log_in_bearer and
  // SmtpSession::log_in_bearer. It refers to this object.
  [[nodiscard]] BearerSource source(const MailboxRecord& record) const { return source(record.address, record.sign_in); }
  [[nodiscard]] BearerSource source(std::string_view address, MailboxRecord::SignIn method) const;
  [[nodiscard]] BearerToken token(std::string_view address, MailboxRecord::SignIn method, bool renew) const;

  // Whether the file marks the mailbox as needing a sign-in in the window:
  // never signed in, or its refresh was refused.
  [[nodiscard]] static bool needs_sign_in(const OAuthFile& file, std::string_view address);

  // Refreshed this long before the stored expiry.
  static constexpr int64_t kMargin = 60;

 private:
  OAuthStore store_;
  StreamFactory streams_;
  Clock now_;
};

}  // namespace pw
