#pragma once
// The feedback message to the makers: who it says it is from and to, its
// composition, and its direct delivery to the makers' mail exchangers with
// the progress positions the dialog's bar shows (0 to kProgressEnd, one
// third per maker address).
#include <array>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "net/line_socket.h"

namespace pw {

class MailboxList;

struct FeedbackAddresses {
  std::array<std::string, 3> makers;  // tried in this order
  std::string sender;     // envelope sender; From when nobody else fills it
  std::string recipient;  // To when no account fills it

  // The addresses this program was built with.
  [[nodiscard]] static FeedbackAddresses configured();
};

struct FeedbackHeaders {
  std::string from;
  std::string to;
};

// From: the reply address when one was given, else the first account's
// address, else the placeholder sender. To: the second account when From is
// the first account, else the first; the placeholder recipient when there
// is no such account.
[[nodiscard]] FeedbackHeaders feedback_headers(std::string_view reply_address, const MailboxList& accounts,
                                               const FeedbackAddresses& addresses);

// The mail: the headers, the subject "Pelliwick邮箱管家" and the message as
// its text part.
[[nodiscard]] std::string compose_feedback(const FeedbackHeaders& headers, std::string_view message,
                                           std::time_t now);

struct FeedbackDelivery {
  static constexpr int kProgressEnd = 27;
  static constexpr int kStepsPerAddress = 9;
  // A failed transaction is repeated this often on one exchanger, and at
  // most this many exchangers are tried, so a dead peer cannot hold the
  // sending for ever.
  static constexpr int kAttemptsPerExchanger = 2;
  static constexpr size_t kExchangers = 2;

  std::chrono::milliseconds timeout = LineSocket::kDefaultTimeout;
  int port = 25;
  // Told every new bar position, on the sending thread.
  std::function<void(int)> progress;
};

// Delivers `mail` to the first and second maker, and to the third only when
// one of those failed. True when at least one delivery succeeded.
[[nodiscard]] bool deliver_feedback(const FeedbackAddresses& addresses, std::string_view mail,
                                    const FeedbackDelivery& options);

}  // namespace pw
