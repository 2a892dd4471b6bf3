// The feedback message: its From and To, and its delivery to the makers'
// exchangers (aiosmtpd behind dnsmasq MX answers) with the bar positions.
#include <gtest/gtest.h>

#include "engine/feedback_sender.h"
#include "stores/mailbox_list.h"
#include "support/dns_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

const FeedbackAddresses kAddresses{
    {"one@one.test", "two@two.test", "three@three.test"}, "sender@pelliwick.test", "recipient@pelliwick.test"};

TEST(FeedbackHeaders, fromAndToFollowTheReplyAddressAndTheAccounts) {
  struct Case {
    const char* reply;
    std::vector<std::string> accounts;
    const char* from;
    const char* to;
  };
  const Case cases[] = {
      {"me@home.example", {"a@example.com"}, "me@home.example", "a@example.com"},
      {"", {"a@example.com"}, "a@example.com", "recipient@pelliwick.test"},
      {"", {}, "sender@pelliwick.test", "recipient@pelliwick.test"},
      {"", {"a@example.com", "b@example.com"}, "a@example.com", "b@example.com"},
  };
  for (const Case& c : cases) {
    test::TempDir temp;
    MailboxList accounts{ProgramDir(temp.path())};
    for (const std::string& address : c.accounts) {
      MailboxRecord record;
      record.address = address;
      (void)accounts.create(record, true);
    }
    FeedbackHeaders h = feedback_headers(c.reply, accounts, kAddresses);
    EXPECT_EQ(h.from, c.from) << c.reply << " / " << c.accounts.size();
    EXPECT_EQ(h.to, c.to) << c.reply << " / " << c.accounts.size();
  }
}

class FeedbackDeliveryTest : public ::testing::Test {
 protected:
  test::DnsServer dns{{{"one.test", "mx.one.test", 10}, {"two.test", "mx.two.test", 10}, {"three.test", "mx.three.test", 10}},
                      {{"mx.one.test", "127.0.0.11"}, {"mx.two.test", "127.0.0.12"}, {"mx.three.test", "127.0.0.13"}}};
  std::vector<int> positions;
  FeedbackDelivery options{std::chrono::seconds(5), 25, [this](int p) { positions.push_back(p); }};
  const std::string mail = compose_feedback({"me@home.example", "a@example.com"}, "很好用", 0);

  void expect_bar_rises_to_the_end() {
    ASSERT_FALSE(positions.empty());
    for (size_t i = 1; i < positions.size(); ++i) EXPECT_LE(positions[i - 1], positions[i]);
    EXPECT_EQ(positions.back(), FeedbackDelivery::kProgressEnd);
  }
};

TEST_F(FeedbackDeliveryTest, theThirdAddressIsSkippedWhenTheFirstTwoSucceed) {
  ASSERT_TRUE(dns.running()) << dns.log();
  test::SmtpServer one(test::SmtpServerOptions().on("127.0.0.11", 25));
  test::SmtpServer two(test::SmtpServerOptions().on("127.0.0.12", 25));
  test::SmtpServer three(test::SmtpServerOptions().on("127.0.0.13", 25));
  ASSERT_TRUE(one.running() && two.running() && three.running()) << one.log() << two.log() << three.log();

  EXPECT_TRUE(deliver_feedback(kAddresses, mail, options));
  ASSERT_TRUE(one.wait_for_mails(1) && two.wait_for_mails(1));
  EXPECT_EQ(one.mails()[0].mail_from, "sender@pelliwick.test");
  EXPECT_EQ(one.mails()[0].recipients, std::vector<std::string>{"one@one.test"});
  EXPECT_EQ(one.mails()[0].data, mail);
  EXPECT_EQ(two.mails()[0].recipients, std::vector<std::string>{"two@two.test"});
  EXPECT_TRUE(three.mails().empty());
  expect_bar_rises_to_the_end();
  // Seven steps of a whole transaction for each of the two, then the end.
  EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 18, 27}));
}

TEST_F(FeedbackDeliveryTest, aRefusedAddressIsRetriedBoundedlyAndTheThirdIsTried) {
  ASSERT_TRUE(dns.running()) << dns.log();
  test::SmtpServer one(test::SmtpServerOptions().on("127.0.0.11", 25).refusing("one@one.test"));
  test::SmtpServer three(test::SmtpServerOptions().on("127.0.0.13", 25));
  ASSERT_TRUE(one.running() && three.running()) << one.log() << three.log();

  EXPECT_TRUE(deliver_feedback(kAddresses, mail, options));
  EXPECT_TRUE(one.mails().empty());
  ASSERT_TRUE(three.wait_for_mails(1));
  EXPECT_EQ(three.mails()[0].recipients, std::vector<std::string>{"three@three.test"});
  expect_bar_rises_to_the_end();
}

TEST_F(FeedbackDeliveryTest, nothingDeliveredWhenNoExchangerAnswers) {
  ASSERT_TRUE(dns.running()) << dns.log();
  const FeedbackAddresses nowhere{{"a@none.test", "b@one.test", "c@none.test"}, "s@x.test", "r@x.test"};
  EXPECT_FALSE(deliver_feedback(nowhere, mail, options));
  expect_bar_rises_to_the_end();
}

}  // namespace
}  // namespace pw
