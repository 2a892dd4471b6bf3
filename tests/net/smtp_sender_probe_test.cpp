#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/mx_lookup.h"
#include "net/smtp_sender_verifier.h"
#include "support/dns_server.h"
#include "support/scripted_peer.h"
#include "support/smtp_server.h"

namespace pw {
namespace {

using Probe = SmtpSenderVerifier::Probe;
using test::ScriptedPeer;

Probe run_probe(ScriptedPeer& peer) {
  return SmtpSenderVerifier::probe(peer, "mx.example.test", "here", "me@home.test", "bob@example.test");
}

ScriptedPeer& up_to_rcpt(ScriptedPeer& peer) {
  return peer.server("220 mx ready\r\n")
      .client("HELO here\r\n")
      .server("250 mx\r\n")
      .client("MAIL FROM:<me@home.test>\r\n")
      .server("250 OK\r\n")
      .client("RCPT TO:<bob@example.test>\r\n");
}

TEST(SmtpSenderProbe, recipientReplyDecides) {
  struct Case {
    const char* name;
    std::string reply;  // empty: the exchanger says nothing more
    bool closes;
    Probe expected;
  };
  const Case cases[] = {
      {"accepted", "250 OK\r\n", false, Probe::accepted},
      {"refused", "550 no such user\r\n", false, Probe::rejected},
      {"busy", "450 try later\r\n", false, Probe::rejected},
      {"closed", "", true, Probe::accepted},
      {"silent", "", false, Probe::accepted},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer;
    up_to_rcpt(peer);
    if (!c.reply.empty()) {
      peer.server(c.reply).client("QUIT\r\n").server("221 bye\r\n");
    } else if (c.closes) {
      peer.close();  // a lost reply: nothing more is sent
    } else {
      peer.silent();
    }
    EXPECT_EQ(run_probe(peer), c.expected) << c.name;
    EXPECT_TRUE(peer.done()) << c.name;
    EXPECT_EQ(peer.connected_port(), 25) << c.name;
  }
}

TEST(SmtpSenderProbe, failuresBeforeTheRecipientMakeTheExchangerUnreachable) {
  {
    ScriptedPeer peer;
    peer.refuse_connect();
    EXPECT_EQ(run_probe(peer), Probe::unreachable);
    EXPECT_EQ(peer.written(), "");
  }
  {
    ScriptedPeer peer;  // no 220: no QUIT either
    peer.server("554 go away\r\n");
    EXPECT_EQ(run_probe(peer), Probe::unreachable);
    EXPECT_EQ(peer.written(), "");
  }
  {
    ScriptedPeer peer;
    peer.server("220 ready\r\n").client("HELO here\r\n").server("501 bad name\r\n").client("QUIT\r\n").server(
        "221 bye\r\n");
    EXPECT_EQ(run_probe(peer), Probe::unreachable);
    EXPECT_TRUE(peer.done());
  }
  {
    ScriptedPeer peer;
    peer.server("220 ready\r\n")
        .client("HELO here\r\n")
        .server("250 ok\r\n")
        .client("MAIL FROM:<me@home.test>\r\n")
        .server("553 not you\r\n")
        .client("QUIT\r\n")
        .server("221 bye\r\n");
    EXPECT_EQ(run_probe(peer), Probe::unreachable);
    EXPECT_TRUE(peer.done());
  }
}

TEST(SmtpSenderProbe, unverifiableAddressesAskNobody) {
  SmtpSenderVerifier::Options options;
  options.lookup = [](std::string_view domain) {
    ADD_FAILURE() << "looked up " << domain;
    return std::vector<std::string>{};
  };
  SmtpSenderVerifier verifier(options);
  EXPECT_FALSE(verifier.verify("me@home.test", "no-at-sign"));
  EXPECT_FALSE(verifier.verify("me@home.test", ""));
  EXPECT_FALSE(verifier.verify("me@home.test", "bob@"));
  EXPECT_FALSE(verifier.verify("me@home.test", std::string(300, 'a') + "@example.test"));
  EXPECT_FALSE(verifier.verify("me@home.test", std::string("bob\0x@example.test", 18)));
}

TEST(SmtpSenderProbe, domainIsEverythingAfterTheFirstAt) {
  std::string asked;
  SmtpSenderVerifier::Options options;
  options.lookup = [&](std::string_view domain) {
    asked = domain;
    return std::vector<std::string>{};  // no exchanger: not verified
  };
  SmtpSenderVerifier verifier(options);
  EXPECT_FALSE(verifier.verify("me@home.test", "bob@x@example.test"));
  EXPECT_EQ(asked, "x@example.test");
}

// Against real servers: dnsmasq answers the MX queries, aiosmtpd instances on
// port 25 of several loopback addresses play the exchangers.
class SmtpSenderProbeOnNetwork : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dns_ = std::make_unique<test::DnsServer>(
        std::vector<test::DnsServer::Mx>{
            {"accept.test", "mx.accept.test", 10},
            {"reject.test", "mx.accept.test", 10},
            {"silent.test", "mx.silent.test", 10},
            {"backup.test", "dead.backup.test", 10},
            {"backup.test", "mx.accept.test", 20},
            {"dead.test", "dead.backup.test", 10},
            {"dead.test", "gone.dead.test", 20},
            {"literal.test", "127.0.0.2", 10},
        },
        std::vector<test::DnsServer::Host>{
            {"mx.accept.test", "127.0.0.2"},
            {"mx.silent.test", "127.0.0.4"},
            {"dead.backup.test", "127.0.0.3"},  // nothing listens there
        });
    accepting_ = std::make_unique<test::SmtpServer>(
        test::SmtpServerOptions{"127.0.0.2", 25, "", "", {"ghost@reject.test"}, false});
    silent_ = std::make_unique<test::SmtpServer>(
        test::SmtpServerOptions{"127.0.0.4", 25, "", "", {}, true});
  }
  static void TearDownTestSuite() {
    silent_.reset();
    accepting_.reset();
    dns_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(dns_->running()) << dns_->log();
    ASSERT_TRUE(accepting_->running()) << accepting_->log();
    ASSERT_TRUE(silent_->running()) << silent_->log();
  }

  bool verify(std::string_view sender, std::vector<std::string> exchangers = {}) {
    SmtpSenderVerifier::Options options;
    if (!exchangers.empty()) options.lookup = [exchangers](std::string_view) { return exchangers; };
    options.local_host = "probe.home.test";
    // The silent exchanger would otherwise hold the test for the full 20 s.
    options.timeout = std::chrono::milliseconds(500);
    options.trace = [this](std::string_view line) { trace_.emplace_back(line); };
    SmtpSenderVerifier verifier(options);
    return verifier.verify("me@home.test", sender);
  }

  std::vector<std::string> sent() const {
    std::vector<std::string> out;
    for (const auto& line : trace_) {
      if (line.rfind("C: ", 0) == 0) out.push_back(line.substr(3));
    }
    return out;
  }

  std::vector<std::string> connects() const {
    std::vector<std::string> out;
    for (const auto& line : trace_) {
      if (line.rfind("-- connect ", 0) == 0) out.push_back(line.substr(11));
    }
    return out;
  }

  std::vector<std::string> trace_;
  static inline std::unique_ptr<test::DnsServer> dns_;
  static inline std::unique_ptr<test::SmtpServer> accepting_;
  static inline std::unique_ptr<test::SmtpServer> silent_;
};

TEST_F(SmtpSenderProbeOnNetwork, acceptedSenderIsVerified) {
  EXPECT_TRUE(verify("bob@accept.test"));
  EXPECT_EQ(sent(), (std::vector<std::string>{"HELO probe.home.test", "MAIL FROM:<me@home.test>",
                                              "RCPT TO:<bob@accept.test>", "QUIT"}));
  EXPECT_TRUE(accepting_->mails().empty());  // a probe sends no mail
}

TEST_F(SmtpSenderProbeOnNetwork, rejectedSenderIsNotVerified) {
  EXPECT_FALSE(verify("ghost@reject.test"));
  EXPECT_EQ(sent().back(), "QUIT");
}

TEST_F(SmtpSenderProbeOnNetwork, silenceAfterMailFromCountsAsAccepted) {
  EXPECT_TRUE(verify("bob@silent.test"));
}

TEST_F(SmtpSenderProbeOnNetwork, unreachableExchangerIsSkippedForTheNext) {
  ASSERT_EQ(lookup_mx("backup.test").exchangers, (std::vector<std::string>{"dead.backup.test", "mx.accept.test"}));
  EXPECT_TRUE(verify("bob@backup.test"));
  EXPECT_EQ(connects(), (std::vector<std::string>{"dead.backup.test:25", "mx.accept.test:25"}));
  EXPECT_EQ(sent().size(), 4u);  // the dead one never got a word
}

TEST_F(SmtpSenderProbeOnNetwork, noReachableOrKnownExchangerIsNotVerified) {
  EXPECT_FALSE(verify("bob@dead.test"));   // one refuses, the other's name does not resolve
  EXPECT_EQ(connects().size(), 2u);
  EXPECT_FALSE(verify("bob@nomx.test"));   // no such domain
  EXPECT_TRUE(sent().empty());
}

// An exchanger name is resolved as a host name and nothing else: an address
// literal in the DNS answer, a port or an option is never connected to.
TEST_F(SmtpSenderProbeOnNetwork, exchangerNamesThatAreNoHostNamesAreNeverConnected) {
  EXPECT_FALSE(verify("bob@literal.test"));  // the accepting exchanger's address as MX
  EXPECT_TRUE(connects().empty());
  trace_.clear();
  EXPECT_TRUE(verify("bob@accept.test", {"127.0.0.2", "127.0.0.2:25", "[127.0.0.2]", "-oX", "mx.accept.test"}));
  EXPECT_EQ(connects(), (std::vector<std::string>{"mx.accept.test:25"}));
}

}  // namespace
}  // namespace pw
