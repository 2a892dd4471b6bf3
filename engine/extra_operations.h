#pragma once
// The one-off operations a user picks for one mail (in the confirmation
// window or in remote management), with their parameters. Texts are used as
// typed: no template markers are expanded in them.
#include <cstddef>
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

// The text that describes the chosen operations, one line each (CR LF), the
// second and later ones after "和 ", with a link over each editable value.
// Text and positions are GB18030 bytes.
struct ExtraDescription {
  struct Link {
    uint8_t operation = 0;  // the ExtraOperations bit the link edits
    size_t start = 0;
    size_t end = 0;  // just past the linked span (the line's end)
  };
  std::string text;
  std::vector<Link> links;

  // The link whose span holds byte `position`, or null.
  [[nodiscard]] const Link* hit(size_t position) const;
};

[[nodiscard]] ExtraDescription describe_extra_operations(const ExtraOperations& extra);

// What keeps the chosen operations from running: the string-table id of the
// message (forward without recipients, reply without its file or without
// subject and text, backup without a directory), or 0 when they can run.
[[nodiscard]] int extra_operations_problem(const ExtraOperations& extra);

}  // namespace pw
