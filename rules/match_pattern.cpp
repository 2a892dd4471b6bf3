#include "rules/match_pattern.h"

#include <optional>

#include "rules/capture_list.h"
#include "rules/segment_searcher.h"
#include "rules/body_pattern.h"

namespace pw {
namespace {

constexpr size_t npos = std::string_view::npos;

// The bounds of the wildcard that is open before the current segment.
struct Bounds {
  size_t min = 0;
  std::optional<size_t> max;
  std::optional<uint32_t> capture;
};

// Finds the segment's first occurrence from `t` that satisfies the bounds.
// Too-close occurrences move `t` past them (the skipped text no longer
// belongs to the wildcard); a too-far one ends the search. Returns the
// position and records the capture, or npos.
size_t place_segment(SegmentSearcher& searcher, std::string_view text, size_t& t, const Bounds& bounds,
                     CaptureList& captures, const Rule* rule) {
  for (;;) {
    const size_t m = searcher.find(text, t);
    if (m == npos) return npos;
    if (bounds.max && m - t > *bounds.max) return npos;
    if (m - t < bounds.min) {
      t = m + 1;
      continue;
    }
    if (bounds.capture) captures.add(rule, *bounds.capture, text.substr(t, m - t));
    return m;
  }
}

}  // namespace

bool match_pattern(std::string_view pattern, std::string_view text, CaptureList& captures, const Rule* rule) {
  size_t t = 0;
  size_t p = 0;
  Bounds bounds;
  for (;;) {
    const size_t star = pattern.find('*', p);
    if (star == npos) break;

    SegmentSearcher searcher(pattern.substr(p, star - p));
    const size_t m = place_segment(searcher, text, t, bounds, captures, rule);
    if (m == npos) return false;
    t = m + searcher.size();

    const char next = star + 1 < pattern.size() ? pattern[star + 1] : '\0';
    if ((next == '*' || next == '?') && t < text.size() && text[t] == next) {
      // An escaped literal: the open wildcard's bounds stay as they are.
      ++t;
      p = star + 2;
    } else if (next == '<') {
      const size_t close = pattern.find('>', star + 2);
      if (close == npos) return false;
      // Options that fail the checks (say, from an imported rule file that
      // was never validated) leave a plain wildcard.
      const auto options = parse_wildcard_options(pattern.substr(star + 2, close - star - 2));
      bounds = {};
      if (options) {
        bounds.min = options->min;
        if (options->max) bounds.max = *options->max;
        bounds.capture = options->capture;
      }
      p = close + 1;
    } else {
      bounds = {};
      p = star + 1;
    }
  }

  const std::string_view last = pattern.substr(p);
  size_t m;
  if (last.empty()) {
    // The final wildcard takes the rest of the text; its bounds still apply.
    m = text.size();
    if ((bounds.max && m - t > *bounds.max) || m - t < bounds.min) return false;
    if (bounds.capture) captures.add(rule, *bounds.capture, text.substr(t, m - t));
    return true;
  }
  SegmentSearcher searcher(last);
  m = place_segment(searcher, text, t, bounds, captures, rule);
  return m != npos && m + last.size() == text.size();
}

}  // namespace pw
