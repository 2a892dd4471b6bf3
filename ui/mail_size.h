#pragma once
// A mail's size in the unit the lists show it in: bytes, KB once above 1024
// bytes, MB once above 1024 KB.
#include <cstdint>

namespace pw::ui {

struct ScaledSize {
  double value = 0;
  const char* unit = "B";
};

[[nodiscard]] ScaledSize scale_mail_size(uint32_t bytes);

}  // namespace pw::ui
