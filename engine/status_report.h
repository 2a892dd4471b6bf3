#pragma once
// The progress record the check worker hands to the main window: a text for
// one status-bar pane, or a step of the progress bar that sits over pane 2.
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

struct StatusReport {
  enum class Kind {
    text = 0,               // set the pane's text
    progress_range = 1,     // place the bar over the pane, set range and position, show it
    progress_position = 2,  // move the bar
    hide_progress = 3,
  };
  static constexpr size_t kMaxText = 63;  // bytes; longer texts are cut
  static constexpr int kMessagePane = 0;
  static constexpr int kStepPane = 1;
  static constexpr int kProgressPane = 2;

  int pane = kMessagePane;
  std::string text;
  Kind kind = Kind::text;
  int position = 0;
  int range_low = 0;   // both ends fit in 16 bits
  int range_high = 0;

  // Cut to kMaxText bytes at a character boundary (GB18030), so the pane
  // never shows half a character.
  [[nodiscard]] static StatusReport show_text(int pane, std::string_view text);
  [[nodiscard]] static StatusReport progress_range(int low, int high);
  [[nodiscard]] static StatusReport progress_position(int position);
  [[nodiscard]] static StatusReport hide_progress();

  friend bool operator==(const StatusReport&, const StatusReport&) = default;
};

}  // namespace pw
