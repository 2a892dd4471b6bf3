#pragma once
// What the main frame needs of the check run: start one, and whether one is
// going on. The program's implementation runs CheckRun on its worker; tests
// give a fake whose flags they set.
#include <memory>

#include "engine/check_run.h"

namespace pw {
class MailboxAccount;
}

namespace pw::app {

class CheckControl {
 public:
  virtual ~CheckControl() = default;
  // A run for `account`, or all watched accounts when null; false when none
  // was started (a run is going on, or another process checks the data).
  virtual bool start(std::shared_ptr<MailboxAccount> account) = 0;
  [[nodiscard]] virtual bool check_running() const = 0;
  [[nodiscard]] virtual bool single_check() const = 0;
  // Asks the running check to end soon (see CheckRun::stop).
  virtual void stop() {}
  // Called on the UI thread once the frame has seen a run end.
  virtual void run_ended() {}
  // The outcome of the run that ended last.
  [[nodiscard]] virtual RunOutcome last_outcome() const { return {}; }
};

}  // namespace pw::app
