#include "rules/capture_list.h"

namespace pw {

void CaptureList::add(const Rule* rule, uint32_t number, std::string_view text) {
  records_.push_back({rule, number, std::string(text)});
}

std::string_view CaptureList::lookup(const Rule* rule, uint32_t number) const {
  for (const auto& c : records_) {
    if (c.rule == rule && c.number == number) return c.text;
  }
  return {};
}

}  // namespace pw
