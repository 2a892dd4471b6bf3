// The TCP transport against loopback listeners (run inside the private
// network namespace).
#include "net/line_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "net/server_address.h"
#include "support/loopback_listener.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

using test::Listener;

TEST(LineSocket, sendsAndReceivesAndSeesTheClose) {
  Listener l;
  LineSocket s(2s);
  ASSERT_TRUE(s.connect("127.0.0.1", l.port()));
  int peer = l.accept();
  ASSERT_GE(peer, 0);
  EXPECT_EQ(s.send("hello"), 5);
  char buf[16];
  EXPECT_EQ(::read(peer, buf, sizeof buf), 5);
  ASSERT_EQ(::write(peer, "+OK\r\n", 5), 5);
  EXPECT_EQ(s.receive(buf, sizeof buf), 5);
  ::close(peer);
  EXPECT_EQ(s.receive(buf, sizeof buf), 0);
}

TEST(LineSocket, silentPeerTimesOutAfterTheBoundedWait) {
  Listener l;
  LineSocket s(200ms);
  ASSERT_TRUE(s.connect("127.0.0.1", l.port()));
  int peer = l.accept();
  char buf[16];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(s.receive(buf, sizeof buf), ByteStream::kTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
  ::close(peer);
}

TEST(LineSocket, fullBuffersTimeOutWithoutBlockingForever) {
  Listener l;
  LineSocket s(200ms);
  ASSERT_TRUE(s.connect("127.0.0.1", l.port()));
  int peer = l.accept();
  std::string big(64 << 20, 'x');
  EXPECT_EQ(s.send(big), ByteStream::kTimeout);
  ::close(peer);
}

TEST(LineSocket, unresolvableNameAndClosedPortFail) {
  LineSocket s(1s);
  EXPECT_FALSE(s.connect("no-such-host.invalid", 110));
  int closed_port;
  {
    Listener gone;
    closed_port = gone.port();
  }
  EXPECT_FALSE(s.connect("127.0.0.1", closed_port));
  char buf[4];
  EXPECT_EQ(s.receive(buf, sizeof buf), ByteStream::kError);
}

struct AddressCase {
  const char* field;
  const char* host;
  int port;
};

class ServerAddressParse : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddressParse, splitsAnOptionalPort) {
  ServerAddress a = parse_server_address(GetParam().field, 110);
  EXPECT_EQ(a.host, GetParam().host);
  EXPECT_EQ(a.port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Fields, ServerAddressParse,
                         ::testing::Values(AddressCase{"pop.example.com", "pop.example.com", 110},
                                           AddressCase{"127.0.0.1:11110", "127.0.0.1", 11110},
                                           AddressCase{"host:", "host:", 110},
                                           AddressCase{"host:99999", "host:99999", 110},
                                           AddressCase{"host:12a", "host:12a", 110},
                                           AddressCase{"::1", "::1", 110},
                                           AddressCase{"[::1]:2525", "::1", 2525}));

}  // namespace
}  // namespace pw
