#include "engine/template_expander.h"

#include "engine/mail_processor.h"
#include "mail/address_list.h"

namespace pw {

std::string TemplateExpander::expand(std::string_view text) const {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('#', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('#', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    out += marker_value(text.substr(open + 1, close - open - 1));
    pos = close + 1;
  }
  out.append(text.substr(pos));
  return out;
}

std::string TemplateExpander::marker_value(std::string_view marker) const {
  if (marker.empty()) return "#";
  const char c = marker[0];
  if (c >= '0' && c <= '9') {
    // Validated templates hold only digits here; read what digits there are.
    long k = 0;
    for (char d : marker) {
      if (d < '0' || d > '9') break;
      k = k * 10 + (d - '0');
      if (k > 0x7fffffff) return {};
    }
    return rule_ ? mail_.capture(*rule_, static_cast<int>(k)) : std::string();
  }
  switch (c | 0x20) {
    case 'c': return mail_.text_body();
    case 'd': return mail_.date();
    case 'f': return sender_address(mail_.sender());
    case 'n': return sender_name(mail_.sender());
    case 's': return mail_.subject();
    case 't': return mail_.recipient();
    default: return {};
  }
}

}  // namespace pw
