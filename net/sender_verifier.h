#pragma once
// Whether a mail's sender exists: asked by the rule condition on senders that
// cannot be verified. The real one probes the sender's mail exchangers over
// SMTP (SmtpSenderVerifier); tests give their own.
#include <string_view>

namespace pw {

class SenderVerifier {
 public:
  virtual ~SenderVerifier() = default;

  // True when a mail exchanger of the sender's domain accepts
  // `sender_address` as a recipient. `mailbox_address` is the address of the
  // mailbox being checked, given as the probe's MAIL FROM. Never fails on its
  // own: network trouble only means an exchanger could not be asked.
  [[nodiscard]] virtual bool verify(std::string_view mailbox_address, std::string_view sender_address) = 0;
};

}  // namespace pw
