#pragma once
// Reply: sends a message back to the mail's sender, either a prepared mail
// file as it stands or a composed message with a subject, a text and
// attachments.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/reply_settings.h"

namespace pw {

class MailProcessor;
struct ActionServices;

class ReplyAction {
 public:
  ReplyAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // Every matched rule whose reply is enabled (subject and text expanded as
  // templates), then the extra reply (used as typed). Nothing is downloaded.
  void run_step(std::vector<uint8_t>& success);

  // Builds and sends one reply to the sender's bare address: through the
  // account, else directly when the account's server cannot be reached and
  // TLS is not required. False when the message cannot be built (an
  // unreadable or empty file, a refused continuation after a missing
  // attachment), when the mail names no sender, or when no route took it;
  // `note` then gets the log's remark on why it did not go directly.
  [[nodiscard]] bool reply(const ReplySettings& reply, std::string& note);

  // Why a rule must not answer this mail automatically (RFC 3834 section 2):
  // an Auto-Submitted other than "no", Precedence bulk, junk or list, a
  // List-Id, an empty return path, a MAILER-DAEMON sender, or a mail from
  // the account itself. The remark for the log, or "" when a reply may go.
  [[nodiscard]] static std::string loop_refusal(std::string_view mail_text, std::string_view sender,
                                                std::string_view own_address);

 private:
  // The message to send, or nullopt when the action fails before sending.
  std::optional<std::string> build(const ReplySettings& reply);

  MailProcessor& mail_;
  const ActionServices& services_;
};

}  // namespace pw
