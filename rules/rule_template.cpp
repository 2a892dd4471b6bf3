#include "rules/rule_template.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rules/body_pattern.h"

namespace pw {
namespace {

bool is_marker_letter(std::string_view s) {
  return s.size() == 1 && std::string_view("CDFNSTcdfnst").find(s[0]) != std::string_view::npos;
}

// The capture number of an all-digit marker; false for anything else.
bool capture_number(std::string_view s, uint32_t& k) {
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0x7fffffffu) return false;
  }
  k = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

TemplateLevel validate_template(std::string_view text, std::string_view pattern) {
  TemplateLevel level = TemplateLevel::plain;
  std::vector<uint32_t> captures;
  bool captures_read = false;
  size_t i = 0;
  size_t open;
  while ((open = text.find('#', i)) != std::string_view::npos) {
    size_t close = text.find('#', open + 1);
    if (close == std::string_view::npos) return TemplateLevel::invalid;
    std::string_view marker = text.substr(open + 1, close - open - 1);
    i = close + 1;
    if (marker.empty() || is_marker_letter(marker)) continue;
    uint32_t k = 0;
    if (!capture_number(marker, k)) return TemplateLevel::invalid;
    if (!captures_read) {
      captures = pattern_captures(pattern);
      captures_read = true;
    }
    if (std::find(captures.begin(), captures.end(), k) == captures.end()) return TemplateLevel::invalid;
    level = TemplateLevel::captures;
  }
  return level;
}

}  // namespace pw
