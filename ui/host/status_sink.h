#pragma once
// Where the check run's status reports are shown: the main window's status
// bar. The engine host hands every report to it on the UI thread, one at a
// time and in the order the run sent them.
#include "engine/status_report.h"

namespace pw::ui {

class StatusSink {
 public:
  virtual ~StatusSink() = default;
  virtual void apply(const StatusReport& report) = 0;
};

}  // namespace pw::ui
