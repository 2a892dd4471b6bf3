#pragma once
// Save attachments: writes every attachment of the mail into
// DIR/ADDRESS/Attachment, a taken name getting a "1_", "2_", ... prefix.
#include <cstdint>
#include <string_view>
#include <vector>

namespace pw {

class MailProcessor;
struct ActionServices;

class AttachmentAction {
 public:
  AttachmentAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // Every matched rule whose attachment action is enabled (no extra
  // operation of this kind); one log record per rule. The mail text is used
  // as held.
  void run_step(std::vector<uint8_t>& success);

  // Saves every attachment below `dir`; false when one of them could not be
  // written (the others are still written). A mail without attachments
  // writes nothing and succeeds.
  [[nodiscard]] bool save_all(std::string_view dir);

 private:
  MailProcessor& mail_;
  const ActionServices& services_;
};

}  // namespace pw
