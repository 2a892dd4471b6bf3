// The buffered line reader the protocol sessions read replies with.
#include "net/reply_reader.h"

#include <gtest/gtest.h>

#include "support/scripted_peer.h"

namespace pw {
namespace {

using Status = ReplyReader::Status;

TEST(ReplyReader, lineSplitOverManyReceivesIsReadWhole) {
  test::ScriptedPeer peer;
  peer.server("+OK split\r\n", 1);
  ReplyReader reader(peer);
  std::string line;
  ASSERT_EQ(reader.read_line(line), Status::Line);
  EXPECT_EQ(line, "+OK split\r\n");
  EXPECT_TRUE(peer.done());
}

TEST(ReplyReader, linesArrivingTogetherAreReadWithoutReceivingAgain) {
  test::ScriptedPeer peer;
  // A receive beyond the first would meet the client step and fail the test.
  peer.server("one\r\ntwo\nthr").client("X");
  ReplyReader reader(peer);
  std::string line;
  ASSERT_EQ(reader.read_line(line), Status::Line);
  EXPECT_EQ(line, "one\r\n");
  ASSERT_EQ(reader.read_line(line), Status::Line);
  EXPECT_EQ(line, "two\n");
  EXPECT_EQ(reader.buffered(), "thr");
  reader.consume(1);
  EXPECT_EQ(reader.buffered(), "hr");
  peer.send("X");
}

TEST(ReplyReader, endsOfTheConversationAreReported) {
  struct Case {
    const char* name;
    void (*script)(test::ScriptedPeer&);
    Status status;
  };
  const Case cases[] = {
      {"closed mid-line", [](test::ScriptedPeer& p) { p.server("+OK no end").close(); }, Status::Closed},
      {"silent", [](test::ScriptedPeer& p) { p.silent(); }, Status::Timeout},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScriptedPeer peer;
    c.script(peer);
    ReplyReader reader(peer);
    std::string line;
    EXPECT_EQ(reader.read_line(line), c.status);
  }
}

TEST(ReplyReader, overlongLinesAreBounded) {
  test::ScriptedPeer peer;
  peer.server(std::string(300, 'x') + "\r\nshort\r\n").server(std::string(5000, 'y'), 64);
  ReplyReader reader(peer, 100);
  std::string line;
  EXPECT_EQ(reader.read_line(line), Status::TooLong);  // ended, skipped
  ASSERT_EQ(reader.read_line(line), Status::Line);
  EXPECT_EQ(line, "short\r\n");
  EXPECT_EQ(reader.read_line(line), Status::TooLong);  // never ends
  EXPECT_EQ(reader.buffered(), "");
}

TEST(ReplyReader, fillAppendsOneReceiveOfAtMostTheCapacity) {
  test::ScriptedPeer peer;
  peer.server("abcdefgh");
  ReplyReader reader(peer);
  EXPECT_EQ(reader.fill(3), 3);
  reader.consume(2);
  EXPECT_EQ(reader.fill(100), 5);
  EXPECT_EQ(reader.buffered(), "cdefgh");
  EXPECT_EQ(reader.fill(10), 0);  // the script is over: closed
}

// A reply must keep moving: less than 1 KiB in the last minute fails it,
// whatever it received before and however large it is. Time passes on a
// clock of the test's own, so the minutes take no time.
TEST(ReplyReader, replyFailsOnlyWhenItStopsMoving) {
  using namespace std::chrono_literals;
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, size_t>> sends;  // bytes and receive size
    std::chrono::milliseconds per_receive;
    Status status;
    std::chrono::seconds at_most;  // time until the read ended
  };
  const std::string lots(2'000'000, 'y');
  const std::vector<Case> cases = {
      {"slowloris: a byte every 5 s", {{std::string(1000, 'x') + "\r\n", 1}}, 5s, Status::TooSlow, 90s},
      {"48 kbit/s line", {{lots + "\r\n", 6000}}, 1s, Status::Line, 400s},
      {"a burst, then a trickle", {{std::string(8192, 'x'), 8192}, {std::string(1000, 'x') + "\r\n", 1}}, 5s,
       Status::TooSlow, 90s},
      {"silent for 50 s, then the line", {{"+OK\r\n", 0}}, 50s, Status::Line, 60s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReplyReader::Clock::time_point now{};
    test::ScriptedPeer peer;
    for (const auto& [bytes, size] : c.sends) peer.server(bytes, size);
    peer.trickle(c.per_receive).trickle_on(now);
    ReplyReader reader(peer, size_t{4} << 20);
    reader.set_clock([&now] { return now; });
    reader.start_reply();
    std::string line;
    EXPECT_EQ(reader.read_line(line), c.status);
    EXPECT_LE(now - ReplyReader::Clock::time_point{}, c.at_most);
  }
}

}  // namespace
}  // namespace pw
