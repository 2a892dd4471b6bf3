#pragma once
// The one-off operations a user picks for one mail (in the confirmation
// window or in remote management), with their parameters. Texts are used as
// typed: no template markers are expanded in them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/forward_settings.h"
#include "rules/reply_settings.h"
#include "rules/rule_description.h"

namespace pw {

struct ExtraOperations {
  static constexpr uint8_t kForward = 0x01;
  static constexpr uint8_t kReply = 0x02;
  static constexpr uint8_t kBackup = 0x04;
  static constexpr uint8_t kDelete = 0x08;

  uint8_t operations = 0;

  ForwardSettings forward;
  std::string backup_dir;
  ReplySettings reply;

  [[nodiscard]] bool has(uint8_t op) const { return (operations & op) != 0; }
};

// The text that describes the chosen operations, one line each (CR LF), the
// second and later ones after "和 ", with a link over each editable value:
// an action link whose bit is the ExtraOperations bit it edits. Text and
// positions are GB18030 bytes.
[[nodiscard]] RuleDescription describe_extra_operations(const ExtraOperations& extra);

// What keeps the chosen operations from running: the string-table id of the
// message (forward without recipients, reply without its file or without
// subject and text, backup without a directory), or 0 when they can run.
[[nodiscard]] int extra_operations_problem(const ExtraOperations& extra);

}  // namespace pw
