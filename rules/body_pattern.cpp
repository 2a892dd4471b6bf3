#include "rules/body_pattern.h"

#include <algorithm>

namespace pw {
namespace {

constexpr uint32_t kNumberLimit = 0x7fffffffu;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Reads the digits at `i` up to a blank or the end; false when there are none,
// when something else follows them, or when the number is too large.
bool read_number(std::string_view options, size_t& i, uint32_t& value) {
  size_t start = i;
  uint64_t v = 0;
  while (i < options.size() && is_digit(options[i])) {
    v = v * 10 + static_cast<uint64_t>(options[i] - '0');
    if (v > kNumberLimit) return false;
    ++i;
  }
  if (i == start || (i < options.size() && !is_blank(options[i]))) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// Calls `visit(star, gt)` for each "*<" at `star` with its closing '>' at `gt`
// (npos when missing, which ends the walk); stops when `visit` returns false.
template <class Visit>
void for_each_options_wildcard(std::string_view pattern, Visit visit) {
  size_t i = 0;
  while ((i = pattern.find("*<", i)) != std::string_view::npos) {
    size_t gt = pattern.find('>', i + 2);
    if (!visit(i, gt) || gt == std::string_view::npos) return;
    i = gt + 1;
  }
}

}  // namespace

std::optional<WildcardOptions> parse_wildcard_options(std::string_view options) {
  WildcardOptions out;
  bool seen_min = false;
  bool seen_max = false;
  size_t i = 0;
  for (;;) {
    while (i < options.size() && is_blank(options[i])) ++i;
    if (i == options.size()) break;
    uint32_t value = 0;
    if (starts_with_ignoring_case(options.substr(i), "min=")) {
      i += 4;
      if (seen_min || !read_number(options, i, value)) return std::nullopt;
      out.min = value;
      seen_min = true;
    } else if (starts_with_ignoring_case(options.substr(i), "max=")) {
      i += 4;
      if (seen_max || !read_number(options, i, value)) return std::nullopt;
      out.max = value;
      seen_max = true;
    } else if (options[i] == '#') {
      i += 1;
      if (out.capture || !read_number(options, i, value)) return std::nullopt;
      out.capture = value;
    } else {
      return std::nullopt;
    }
  }
  if (out.max && *out.max < out.min) return std::nullopt;
  return out;
}

PatternCheck validate_pattern(std::string_view pattern) {
  PatternCheck check;
  std::vector<uint32_t> captures;
  for_each_options_wildcard(pattern, [&](size_t star, size_t gt) {
    if (gt == std::string_view::npos) {
      check = {false, star, star + 2};
      return false;
    }
    auto options = parse_wildcard_options(pattern.substr(star + 2, gt - star - 2));
    bool repeated = options && options->capture && *options->capture > 0 &&
                    std::find(captures.begin(), captures.end(), *options->capture) != captures.end();
    if (!options || repeated) {
      check = {false, star, gt + 1};
      return false;
    }
    if (options->capture) captures.push_back(*options->capture);
    return true;
  });
  return check;
}

std::vector<uint32_t> pattern_captures(std::string_view pattern) {
  std::vector<uint32_t> out;
  for_each_options_wildcard(pattern, [&](size_t star, size_t gt) {
    if (gt == std::string_view::npos) return false;
    std::string_view options = pattern.substr(star + 2, gt - star - 2);
    for (size_t i = 0; i < options.size(); ++i) {
      bool item_start = options[i] == '#' && (i == 0 || is_blank(options[i - 1]));
      if (!item_start) continue;
      size_t j = i + 1;
      uint32_t k = 0;
      if (read_number(options, j, k)) out.push_back(k);
    }
    return true;
  });
  return out;
}

}  // namespace pw
