#pragma once
// The one-off operations a user picks for one mail (in the confirmation
// window or in remote management), with their parameters. Texts are used as
// typed: no template markers are expanded in them.
#include <cstdint>
#include <string>
#include <vector>

namespace pw {

struct ExtraOperations {
  static constexpr uint8_t kForward = 0x01;
  static constexpr uint8_t kReply = 0x02;
  static constexpr uint8_t kBackup = 0x04;
  static constexpr uint8_t kDelete = 0x08;

  uint8_t operations = 0;

  std::string forward_to;  // stored recipient list, ';' after every entry
  bool change_headers = false;
  std::string shown_from;
  std::string shown_to;
  std::string shown_subject;

  std::string backup_dir;

  bool reply_from_file = false;
  std::string reply_file;
  std::string reply_subject;
  std::string reply_text;
  std::vector<std::string> reply_attachments;

  [[nodiscard]] bool has(uint8_t op) const { return (operations & op) != 0; }
};

}  // namespace pw
