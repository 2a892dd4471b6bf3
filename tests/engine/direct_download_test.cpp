// The download of one whole mail by its identifier: the size the server
// lists does not decide how much memory a receive takes.
#include "engine/direct_download.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "check_run_fixture.h"

namespace pw::test {
namespace {

class DirectDownload : public CheckRunFixture {};

TEST_F(DirectDownload, receiveRoomFollowsWhatArrivedNotWhatTheServerClaims) {
  // A listing that claims 4 GiB, then 1 MiB of mail and a closed line.
  const std::string line = std::string(1022, 'x') + "\r\n";
  std::string body;
  for (int k = 0; k < 1024; ++k) body += line;
  pop_uidl(pop_login(next_session()), {"u1"})
      .client("LIST 1\r\n")
      .server("+OK 1 4294967295\r\n")
      .client("RETR 1\r\n")
      .server("+OK\r\n" + body, 32768)
      .close();
  const Pop3Options options{.stream = [this] { return std::make_unique<PeerStream>(*peers.at(opened++), receive_sizes); }};
  const DownloadResult result = download_directly({Pop3Account::of(account->record()), "u1"}, options);
  EXPECT_EQ(result.outcome, DownloadResult::Outcome::error);
  expect_sessions_done();
  EXPECT_LE(*std::max_element(receive_sizes.begin(), receive_sizes.end()), body.size() + 16384);
}

}  // namespace
}  // namespace pw::test
