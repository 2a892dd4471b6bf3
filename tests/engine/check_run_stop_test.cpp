// Stopping a check: a server that accepts and never answers holds the scan
// in its 20-second wait; the stop ends the run at once, says so in the
// outcome, and neither logs nor reports it as a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "check_run_fixture.h"
#include "res/string_table.h"
#include "support/loopback_listener.h"

namespace pw::test {
namespace {

class CheckRunStop : public CheckRunFixture {};

TEST_F(CheckRunStop, aStopEndsTheWaitForASilentServerAtOnce) {
  using Clock = std::chrono::steady_clock;
  Listener server;  // accepts, never answers
  MailboxRecord record = account->record();
  record.pop_server = "127.0.0.1:" + std::to_string(server.port());
  account->set_record(record);
  add_rule(kFetchHeader);
  CheckRun real{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host}};

  ASSERT_TRUE(real.start(nullptr, settings()));
  // Well into the server's silence (the greeting never comes).
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(real.check_running());
  const Clock::time_point stopped = Clock::now();
  real.stop();
  real.wait();
  EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(2));

  const RunOutcome outcome = real.last_outcome();
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.scans_failed, 0u);
  ASSERT_EQ(outcome.checks.size(), 1u);
  EXPECT_EQ(outcome.checks[0].result, AccountCheck::Result::stopped);
  EXPECT_EQ(outcome.checks[0].reason, res::text(sid::kCheckStopped));
  EXPECT_TRUE(host.notices.empty());
  EXPECT_TRUE(log_records().empty());

  // The next run is not stopped by the last one's stop.
  add_rule(kFetchHeader);
  ASSERT_TRUE(real.start(nullptr, settings()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(real.check_running());
  real.stop();
  real.wait();
}

}  // namespace
}  // namespace pw::test
