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

// The whole-reply bound: a byte every 10 ms (each far within the wait) runs
// out a 60 ms reply bound, while a steady server passes beyond the base as
// long as each 16 KiB comes within its second; a new reply starts afresh.
TEST(ReplyReader, wholeReplyIsBoundedAgainstTricklingServers) {
  using namespace std::chrono_literals;
  test::ScriptedPeer trickling;
  trickling.server(std::string(200, 'x') + "\r\n", 1).trickle(10ms);
  ReplyReader slow(trickling);
  slow.set_reply_base(60ms);
  slow.start_reply();
  std::string line;
  EXPECT_EQ(slow.read_line(line), Status::TooSlow);

  test::ScriptedPeer steady;
  steady.server(std::string(200000, 'y') + "\r\n", 16384).trickle(10ms).server("+OK\r\n");
  ReplyReader fast(steady);
  fast.set_reply_base(60ms);
  fast.start_reply();
  EXPECT_EQ(fast.read_line(line), Status::Line);  // about 130 ms in all
  EXPECT_EQ(line.size(), 200002u);
  fast.start_reply();
  EXPECT_EQ(fast.read_line(line), Status::Line);
  EXPECT_EQ(line, "+OK\r\n");
}

}  // namespace
}  // namespace pw
