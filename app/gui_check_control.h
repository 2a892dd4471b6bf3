#pragma once
// The program's check control: CheckRun on its worker thread, with the rules
// and settings copied on the UI thread at each start, and the directory's
// check lock held from the start until the frame has seen the run end, so a
// check from cron never runs on the same data at the same time.
#include <memory>

#include "app/check_control.h"
#include "base/program_dir.h"
#include "engine/check_run.h"
#include "engine/directory_lock.h"

namespace pw {
class RuleStore;
struct SystemSettings;
}  // namespace pw

namespace pw::app {

class GuiCheckControl final : public CheckControl {
 public:
  GuiCheckControl(const ProgramDir& dir, CheckServices services, const RuleStore& rules,
                  const SystemSettings& settings);

  bool start(std::shared_ptr<MailboxAccount> account) override;
  [[nodiscard]] bool check_running() const override { return run_.check_running(); }
  [[nodiscard]] bool single_check() const override { return run_.single_check(); }
  void run_ended() override;
  void stop() override { run_.stop(); }
  [[nodiscard]] RunOutcome last_outcome() const override { return run_.last_outcome(); }

  [[nodiscard]] CheckRun& run() { return run_; }

 private:
  const ProgramDir& dir_;
  const RuleStore& rules_;
  const SystemSettings& settings_;
  CheckRun run_;
  std::unique_ptr<DirectoryLock> lock_;
};

}  // namespace pw::app
