#include "engine/status_report.h"

#include <algorithm>

#include "rules/gb_text.h"

namespace pw {
namespace {

int fit16(int v) { return std::clamp(v, 0, 0xffff); }

}  // namespace

StatusReport StatusReport::show_text(int pane, std::string_view text) {
  StatusReport r;
  r.pane = pane;
  r.text = std::string(gb_prefix(text, kMaxText));
  return r;
}

StatusReport StatusReport::progress_range(int low, int high) {
  StatusReport r;
  r.pane = kProgressPane;
  r.kind = Kind::progress_range;
  r.range_low = fit16(low);
  r.range_high = fit16(high);
  return r;
}

StatusReport StatusReport::progress_position(int position) {
  StatusReport r;
  r.pane = kProgressPane;
  r.kind = Kind::progress_position;
  r.position = fit16(position);
  return r;
}

StatusReport StatusReport::hide_progress() {
  StatusReport r;
  r.pane = kProgressPane;
  r.kind = Kind::hide_progress;
  return r;
}

}  // namespace pw
