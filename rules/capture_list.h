#pragma once
// The captures a mail's body-pattern tests made, in the order they were made.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

struct Rule;

class CaptureList {
 public:
  struct Capture {
    const Rule* rule;
    uint32_t number;
    std::string text;
  };

  void add(const Rule* rule, uint32_t number, std::string_view text);

  // The text of the first capture with this rule and number, or "".
  [[nodiscard]] std::string_view lookup(const Rule* rule, uint32_t number) const;

  [[nodiscard]] const std::vector<Capture>& records() const { return records_; }
  [[nodiscard]] bool empty() const { return records_.empty(); }
  void clear() { records_.clear(); }

 private:
  std::vector<Capture> records_;
};

}  // namespace pw
