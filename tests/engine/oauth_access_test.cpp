// The token file while a refresh waits for a token endpoint that does not
// answer: the window's changes to the file and the sessions of mailboxes
// holding good tokens go on; the refresh ends with the endpoint's failure and
// marks nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <thread>

#include "engine/oauth_access.h"
#include "res/string_table.h"
#include "support/loopback_listener.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

TEST(OAuthAccess, aRefreshWaitingForItsEndpointHoldsUpNoOneElse) {
  test::TempDir temp;
  const ProgramDir dir(temp.path());
  test::Listener endpoint;  // takes the connection, answers only when the test says
  const OAuthStore store(dir);
  ASSERT_TRUE(store.update([&](OAuthFile& f) {
    OAuthMailbox& expired = f.mailboxes["slow@example.test"];
    expired.custom = {"", "http://127.0.0.1:" + std::to_string(endpoint.port()) + "/token", "mail", "client", ""};
    expired.refresh_token = "rt-slow";
    expired.access_token = "at-old";
    OAuthMailbox& good = f.mailboxes["good@example.test"];
    good.refresh_token = "rt-good";
    good.access_token = "at-good";
    good.expires_at = static_cast<int64_t>(std::time(nullptr)) + 3600;
  }));
  const OAuthAccess access(dir);

  std::atomic<bool> refreshed{false};
  BearerToken slow;
  std::thread refresher([&] {
    slow = access.token("slow@example.test", MailboxRecord::SignIn::custom, false);
    refreshed = true;
  });
  const int connection = endpoint.accept();  // the refresh is under way
  ASSERT_GE(connection, 0);

  const BearerToken good = access.token("good@example.test", MailboxRecord::SignIn::custom, false);
  EXPECT_TRUE(good.ok);
  EXPECT_EQ(good.token, "at-good");
  EXPECT_TRUE(store.update([](OAuthFile& f) { f.mailboxes.erase("good@example.test"); }));
  EXPECT_FALSE(refreshed);  // neither waited for it

  ::close(connection);
  refresher.join();
  EXPECT_FALSE(slow.ok);
  EXPECT_EQ(slow.error.find(res::text(sid::kSignInAgain)), std::string::npos) << slow.error;  // not "sign in again"
  const OAuthFile after = store.load();
  EXPECT_FALSE(OAuthAccess::needs_sign_in(after, "slow@example.test"));
  EXPECT_EQ(after.mailbox("good@example.test"), nullptr);
}

}  // namespace
}  // namespace pw
