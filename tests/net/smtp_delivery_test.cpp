// The sending procedures against real SMTP servers (aiosmtpd) and, for direct
// delivery, a real DNS server (dnsmasq), all on loopback inside the tests'
// network namespace.
#include "net/smtp_delivery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "res/string_table.h"
#include "support/dns_server.h"
#include "support/smtp_server.h"

namespace pw {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

// A mail whose lines starting with '.' must survive the trip unchanged.
const std::string kMessage =
    "From: me@example.test\r\nTo: you@example.test\r\nSubject: dots\r\n\r\n"
    ".\r\n..two\r\n.leading dot\r\nlast line\r\n";

SmtpDeliveryOptions quick_options() {
  SmtpDeliveryOptions o;
  o.timeout = 3s;
  o.local_host = "pc.example.test";
  return o;
}

SmtpAccount account_for(const test::SmtpServer& server, bool auth = false, std::string password = "secret") {
  return {"me@example.test", server.field(), auth, "bob", std::move(password)};
}

TEST(SmtpDelivery, sendOneDeliversTheMessageByteForByte) {
  test::SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  ASSERT_TRUE(send_one(quick_options(), server.field(), "me@example.test", "You <you@example.test>", kMessage));
  ASSERT_TRUE(server.wait_for_mails(1));
  auto mails = server.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].mail_from, "me@example.test");
  EXPECT_EQ(mails[0].recipients, (Names{"you@example.test"}));
  EXPECT_EQ(mails[0].data, kMessage);
}

TEST(SmtpDelivery, largeMessageWithoutFinalLineEndArrivesWhole) {
  test::SmtpServer server;
  ASSERT_TRUE(server.running()) << server.log();
  std::string body;
  for (int i = 0; body.size() < 3 * SmtpSession::kDataPiece + 7; ++i)
    body += (i % 3 ? "line " : ".dot ") + std::to_string(i) + "\r\n";
  std::string message = "Subject: big\r\n\r\n" + body + "no line end";
  ASSERT_TRUE(send_one(quick_options(), server.field(), "me@example.test", "you@example.test", message));
  auto mails = server.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].data, message + "\r\n");
}

TEST(SmtpDelivery, authenticatedSendLogsInWithLogin) {
  test::SmtpServer server(test::SmtpServerOptions().with_login("bob", "secret"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server, true);
  ASSERT_TRUE(send_through_account_with_notice(quick_options(), account, "you@example.test", kMessage));
  auto mails = server.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].data, kMessage);
  EXPECT_EQ(account.login, "bob");
  EXPECT_EQ(account.password, "secret");
}

TEST(SmtpDelivery, fourByteUserNameIsAcceptedByAConformingServer) {
  // Unpadded Base64 of a 4-byte name is refused with 501 by aiosmtpd.
  test::SmtpServer server(test::SmtpServerOptions().with_login("abcd", "pw12"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account{"me@example.test", server.field(), true, "abcd", "pw12"};
  EXPECT_TRUE(send_through_account_with_notice(quick_options(), account, "you@example.test", kMessage));
}

TEST(SmtpDelivery, wrongPasswordFailsWithANoticeAndDeliversNothing) {
  test::SmtpServer server(test::SmtpServerOptions().with_login("bob", "secret"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server, true, "wrong");
  std::vector<std::pair<std::string, std::string>> notices;
  SmtpDeliveryOptions options = quick_options();
  options.notice = [&](const std::string& title, const std::string& message) { notices.emplace_back(title, message); };
  EXPECT_FALSE(send_through_account_with_notice(options, account, "you@example.test", kMessage));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].first, res::text(sid::kErrorTitle));
  // The server refused: the mail does not go directly either, and the
  // notice says so with the server's reason.
  EXPECT_TRUE(gb_to_utf8(notices[0].second).starts_with("通过你的smtp服务器发送邮件失败\r\n（SMTP服务器没有接收邮件，没有改用直接投递：535"))
      << gb_to_utf8(notices[0].second);
  EXPECT_FALSE(may_deliver_directly(account));
  EXPECT_TRUE(server.mails().empty());
  EXPECT_EQ(account.password, "wrong");  // nothing corrected, nothing lost
}

TEST(SmtpDelivery, passwordCorrectedByTheUserIsUsedAndKept) {
  test::SmtpServer server(test::SmtpServerOptions().with_login("bob", "secret"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server, true, "wrong");
  SmtpDeliveryOptions options = quick_options();
  int asked = 0;
  options.login_prompt = [&](const LoginData& refused, std::string_view) {
    ++asked;
    EXPECT_EQ(refused.user, "bob");
    return std::optional<LoginData>({"bob", "secret"});
  };
  ASSERT_TRUE(send_through_account_with_notice(options, account, "you@example.test", kMessage));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(account.password, "secret");
  EXPECT_EQ(server.mails().size(), 1u);
}

TEST(SmtpDelivery, unreachableOrMissingServerFails) {
  SmtpDeliveryOptions options = quick_options();
  int notices = 0;
  options.notice = [&](const std::string&, const std::string&) { ++notices; };
  SmtpAccount none{"me@example.test", "", false, "", ""};
  EXPECT_FALSE(send_through_account_with_notice(options, none, "you@example.test", kMessage));
  EXPECT_EQ(notices, 0);
  EXPECT_TRUE(may_deliver_directly(none));
  SmtpAccount closed{"me@example.test", "127.0.0.1:1", false, "", ""};
  EXPECT_FALSE(send_through_account_with_notice(options, closed, "you@example.test", kMessage));
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(may_deliver_directly(closed));
  closed.require_tls = true;
  EXPECT_FALSE(send_through_account_with_notice(options, closed, "you@example.test", kMessage));
  EXPECT_FALSE(may_deliver_directly(closed));
  EXPECT_EQ(no_direct_delivery_text(closed), res::text(sid::kUnreachableButTlsRequired));
}

TEST(SmtpDelivery, listDeliversToTheAcceptedRecipientsInOneTransaction) {
  test::SmtpServer server(test::SmtpServerOptions().refusing("no@example.test"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server);
  ASSERT_TRUE(send_to_list(quick_options(), account,
                           "a@example.test;no@example.test;B <b@example.test>;tail@example.test", kMessage));
  auto mails = server.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].mail_from, "me@example.test");
  EXPECT_EQ(mails[0].recipients, (Names{"a@example.test", "b@example.test"}));
  EXPECT_EQ(mails[0].data, kMessage);
}

TEST(SmtpDelivery, listWithoutAnAcceptedRecipientSendsNothing) {
  test::SmtpServer server(test::SmtpServerOptions().refusing("no@example.test"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server);
  EXPECT_FALSE(send_to_list(quick_options(), account, "no@example.test;", kMessage));
  EXPECT_FALSE(send_to_list(quick_options(), account, "a@example.test", kMessage));  // no ';': no entry
  EXPECT_TRUE(server.mails().empty());
}

TEST(SmtpDelivery, refusedRecipientFailsSendOne) {
  test::SmtpServer server(test::SmtpServerOptions().refusing("no@example.test"));
  ASSERT_TRUE(server.running()) << server.log();
  EXPECT_FALSE(send_one(quick_options(), server.field(), "me@example.test", "no@example.test", kMessage));
  EXPECT_TRUE(server.mails().empty());
}

TEST(SmtpDelivery, listOverAnAuthenticatedServer) {
  test::SmtpServer server(test::SmtpServerOptions().with_login("bob", "secret"));
  ASSERT_TRUE(server.running()) << server.log();
  SmtpAccount account = account_for(server, true);
  ASSERT_TRUE(send_to_list(quick_options(), account, "a@example.test;b@example.test;", kMessage));
  ASSERT_EQ(server.mails().size(), 1u);
  EXPECT_EQ(server.mails()[0].recipients, (Names{"a@example.test", "b@example.test"}));
}

// What the sender probe relies on: a server that never answers RCPT TO gives
// "no reply" (0) after the time-out, not a refusal.
TEST(SmtpDelivery, silentRecipientReplyIsNoReply) {
  test::SmtpServer server(test::SmtpServerOptions().silent_after_mail());
  ASSERT_TRUE(server.running()) << server.log();
  LineSocket socket(300ms);
  SmtpSession session(socket);
  ASSERT_EQ(session.connect(server.field()), 1);
  ASSERT_EQ(session.helo("pc.example.test"), 1);
  ASSERT_EQ(session.mail_from("me@example.test"), 1);
  EXPECT_EQ(session.rcpt_to("you@example.test"), 0);
}

// Direct delivery: the preferred exchanger (listed last) has no server, the
// second takes the mail on port 25.
TEST(SmtpDirectDelivery, triesTheExchangersInTurn) {
  test::DnsServer dns({{"example.test", "mx2.example.test", 20}, {"example.test", "mx1.example.test", 10}},
                      {{"mx1.example.test", "127.0.0.3"}, {"mx2.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  test::SmtpServer exchanger(test::SmtpServerOptions().on("127.0.0.2", 25));
  ASSERT_TRUE(exchanger.running()) << exchanger.log();
  SmtpAccount account{"me@sender.test", "", false, "", ""};
  std::vector<std::string> trace;
  SmtpDeliveryOptions options = quick_options();
  options.trace = [&](std::string_view line) { trace.emplace_back(line); };
  ASSERT_TRUE(direct_delivery(options, account, "Bob <bob@example.test>", kMessage));
  auto mails = exchanger.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].mail_from, "me@sender.test");
  EXPECT_EQ(mails[0].recipients, (Names{"bob@example.test"}));
  EXPECT_EQ(mails[0].data, kMessage);
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace[0], "-- connect mx1.example.test:25");
  EXPECT_EQ(trace[1], "-- connect mx2.example.test:25");
}

TEST(SmtpDirectDelivery, failsWithoutAnExchangerThatTakesTheMail) {
  test::DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.3"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpAccount account{"me@sender.test", "", false, "", ""};
  EXPECT_FALSE(direct_delivery(quick_options(), account, "bob@example.test", kMessage));  // nobody on 127.0.0.3:25
  EXPECT_FALSE(direct_delivery(quick_options(), account, "bob@nomx.example.test", kMessage));
  EXPECT_FALSE(direct_delivery(quick_options(), account, "no address", kMessage));
}

// A domain without MX records is its own exchanger (its address record).
TEST(SmtpDirectDelivery, domainWithoutMxGetsTheMailAtItsAddress) {
  test::DnsServer dns({}, {{"plain.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  test::SmtpServer exchanger(test::SmtpServerOptions().on("127.0.0.2", 25));
  ASSERT_TRUE(exchanger.running()) << exchanger.log();
  SmtpAccount account{"me@sender.test", "", false, "", ""};
  ASSERT_TRUE(direct_delivery(quick_options(), account, "bob@plain.example.test", kMessage));
  ASSERT_TRUE(exchanger.wait_for_mails(1));
  EXPECT_EQ(exchanger.mails()[0].recipients, (Names{"bob@plain.example.test"}));
}

}  // namespace
}  // namespace pw
