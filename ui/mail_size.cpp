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

}  // namespace pw::ui
