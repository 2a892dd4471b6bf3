#include "ui/mail_size.h"

namespace pw::ui {

ScaledSize scale_mail_size(uint32_t bytes) {
  ScaledSize s{static_cast<double>(bytes), "B"};
  if (s.value > 1024) {
    s = {s.value / 1024, "KB"};
    if (s.value > 1024) s = {s.value / 1024, "MB"};
  }
  return s;
}

QString mail_size_text(uint32_t bytes) {
  const ScaledSize s = scale_mail_size(bytes);
  return QString::asprintf(s.unit[0] == 'M' ? "%.2f %s" : "%.0f %s", s.value, s.unit);
}

}  // namespace pw::ui
