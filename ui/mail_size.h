#pragma once
// A mail's size in the unit the lists show it in: bytes, KB once above 1024
// bytes, MB once above 1024 KB.
#include <QString>

#include <cstdint>

namespace pw::ui {

struct ScaledSize {
  double value = 0;
  const char* unit = "B";
};

[[nodiscard]] ScaledSize scale_mail_size(uint32_t bytes);

// The size column of the lists of mails on the server: "%.2f" for MB and
// "%.0f" otherwise, a blank before the unit. (A tab, as such lists once
// had, shows as a run of blanks in a Qt list; the columns align the
// numbers to the right instead.)
[[nodiscard]] QString mail_size_text(uint32_t bytes);

}  // namespace pw::ui
