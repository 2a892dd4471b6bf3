// Any bytes as a Date: value, directly and as found in a mail text: the
// display form is empty, the placeholder, or "YYYY/MM/DD hh:mm:ss".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/header_field.h"
#include "mail/mail_date.h"

namespace {

bool digits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void check(std::string_view value) {
  std::string shown = pw::mail_date_display(value);
  if (value.empty() != shown.empty()) abort();
  if (shown.empty() || shown == pw::kUnreadableMailDate) return;
  std::string_view s = shown;
  if (s.size() != 19 || s[4] != '/' || s[7] != '/' || s[10] != ' ' || s[13] != ':' || s[16] != ':') abort();
  std::string_view month = s.substr(5, 2);
  if (month != "??" && !(digits(month) && month >= "01" && month <= "12")) abort();
  if (!digits(s.substr(8, 2))) abort();
  std::string_view hh = s.substr(11, 2), mm = s.substr(14, 2), ss = s.substr(17, 2);
  if (!digits(hh) || !digits(mm) || !digits(ss) || hh > "23" || mm > "59" || ss > "59") abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  check(in);
  check(pw::header_field(in, "date:"));
  return 0;
}
