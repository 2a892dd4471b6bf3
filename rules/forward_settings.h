#pragma once
// The settings of a forward, the same for a rule's forward action, the
// one-off forward of a mail, the forward dialog and the forward action.
#include <string>

namespace pw {

struct ForwardSettings {
  std::string to;  // the stored recipient list, ';' after every entry
  bool change_headers = false;  // show the three texts below instead of the mail's own headers
  std::string shown_from;
  std::string shown_to;
  std::string shown_subject;

  friend bool operator==(const ForwardSettings&, const ForwardSettings&) = default;
};

}  // namespace pw
