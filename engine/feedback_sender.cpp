#include "engine/feedback_sender.h"

#include "mail/address_list.h"
#include "mail/message_composer.h"
#include "net/mx_lookup.h"
#include "net/smtp_delivery.h"
#include "net/smtp_session.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"
#include "stores/mailbox_list.h"

namespace pw {
namespace {

constexpr char kHeloName[] = "Pelliwick";

// Where a sending stands on the bar.
class Bar {
 public:
  explicit Bar(const FeedbackDelivery& options) : options_(options) {}
  void step() { set(position_ + 1); }
  void set(int position) {
    position_ = std::min(position, FeedbackDelivery::kProgressEnd);
    if (options_.progress) options_.progress(position_);
  }
  [[nodiscard]] int position() const { return position_; }

 private:
  const FeedbackDelivery& options_;
  int position_ = 0;
};

// One transaction with one exchanger; the bar moves before connecting and
// after every stage that succeeded.
bool attempt(const FeedbackDelivery& options, const std::string& server, const std::string& sender,
             const std::string& recipient, std::string_view mail, Bar& bar) {
  SmtpSession session(options.timeout);
  bar.step();
  bool ok = session.connect(server);
  if (ok) bar.step(), ok = session.helo(kHeloName);
  if (ok) bar.step(), ok = session.mail_from(sender) == 1;
  if (ok) bar.step(), ok = session.rcpt_to(recipient) == 1;
  if (ok) bar.step(), ok = session.data();
  if (ok) bar.step(), ok = send_message_pieces(session, mail);
  if (ok) bar.step(), ok = session.end_data() == 1;
  (void)session.quit();
  return ok;
}

bool deliver_one(const FeedbackDelivery& options, const FeedbackAddresses& addresses, const std::string& recipient,
                 std::string_view mail, Bar& bar) {
  const int target = bar.position() + FeedbackDelivery::kStepsPerAddress;
  bool ok = false;
  std::optional<std::string> domain = mail_domain(recipient);
  const MxLookup mx = domain && !domain->empty() ? lookup_mx(*domain) : MxLookup{};
  for (size_t i = 0; i < mx.exchangers.size() && i < FeedbackDelivery::kExchangers && !ok; ++i) {
    const std::string server = "[" + mx.exchangers[i] + "]:" + std::to_string(options.port);
    for (int n = 0; n < FeedbackDelivery::kAttemptsPerExchanger && !ok; ++n)
      ok = attempt(options, server, addresses.sender, recipient, mail, bar);
  }
  bar.set(target);
  return ok;
}

}  // namespace

FeedbackAddresses FeedbackAddresses::configured() {
  return {{PW_FEEDBACK_ADDRESS_1, PW_FEEDBACK_ADDRESS_2, PW_FEEDBACK_ADDRESS_3},
          PW_FEEDBACK_SENDER,
          PW_FEEDBACK_RECIPIENT};
}

FeedbackHeaders feedback_headers(std::string_view reply_address, const MailboxList& accounts,
                                 const FeedbackAddresses& addresses) {
  FeedbackHeaders headers;
  size_t k = 1;
  if (!reply_address.empty()) {
    headers.from = reply_address;
  } else if (accounts.count() == 0) {
    headers.from = addresses.sender;
  } else {
    headers.from = accounts.at(0)->address();
    k = 2;
  }
  headers.to = accounts.count() >= k ? accounts.at(k - 1)->address() : addresses.recipient;
  return headers;
}

std::string compose_feedback(const FeedbackHeaders& headers, std::string_view message, std::time_t now) {
  MessageComposer composer;
  composer.begin(headers.from, headers.to, res::text(sid::kProgramTitle), now);
  composer.add_text(message);
  return composer.finish();
}

bool deliver_feedback(const FeedbackAddresses& addresses, std::string_view mail, const FeedbackDelivery& options) {
  Bar bar(options);
  int delivered = 0;
  delivered += deliver_one(options, addresses, addresses.makers[0], mail, bar);
  delivered += deliver_one(options, addresses, addresses.makers[1], mail, bar);
  if (delivered == 2)
    bar.set(FeedbackDelivery::kProgressEnd);
  else
    delivered += deliver_one(options, addresses, addresses.makers[2], mail, bar);
  return delivered > 0;
}

}  // namespace pw
