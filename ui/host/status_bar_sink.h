#pragma once
// The status bar of the main window as a StatusSink: three panes (0 stretches
// and shows the run's progress texts, 1 the countdown, 2 hosts the progress
// bar) and a smooth progress bar that is hidden until a report shows it and
// then covers the pane the report names.
#include <array>

#include "ui/host/status_sink.h"

class QLabel;
class QProgressBar;
class QStatusBar;

namespace pw::ui {

class StatusBarSink final : public StatusSink {
 public:
  static constexpr int kPanes = 3;

  // Adds the panes and the hidden progress bar to `bar`, which owns them.
  explicit StatusBarSink(QStatusBar* bar);

  void apply(const StatusReport& report) override;

  // Pane `index` (0 to 2); the countdown is shown by setting pane 1's text.
  [[nodiscard]] QLabel* pane(int index) const { return panes_[static_cast<size_t>(index)]; }
  [[nodiscard]] QProgressBar* progress_bar() const { return progress_; }

 private:
  [[nodiscard]] QLabel* pane_or_null(int index) const;

  std::array<QLabel*, kPanes> panes_{};
  QProgressBar* progress_ = nullptr;
};

}  // namespace pw::ui
