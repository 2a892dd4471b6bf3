#pragma once
// The settings of a reply, the same for a rule's reply action, the one-off
// reply to a mail, the reply dialog and the reply action: a prepared mail
// file sent as it stands, or a message composed from a subject, a text and
// attachments.
#include <string>
#include <vector>

namespace pw {

struct ReplySettings {
  bool from_file = false;
  std::string file;
  std::string subject;
  std::string text;
  std::vector<std::string> attachments;

  friend bool operator==(const ReplySettings&, const ReplySettings&) = default;
};

}  // namespace pw
