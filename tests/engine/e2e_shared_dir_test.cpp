// The window and `pelliwick --check-once` (from cron) on one data directory,
// taking turns, against Dovecot and aiosmtpd: every mail is forwarded once,
// and an account edit made in the window survives the headless runs.
#include <gtest/gtest.h>

#include <map>

#include "check_run_fixture.h"
#include "e2e_fixture.h"
#include "engine/check_run.h"
#include "engine/directory_lock.h"
#include "rules/rule_store.h"

namespace pw::test {
namespace {

constexpr uint32_t kForward = bit(ActionKind::forward);
constexpr uint32_t kBackup = bit(ActionKind::backup);

using SharedDataDirectory = ProgramEndToEnd;

TEST_F(SharedDataDirectory, windowAndHeadlessChecksTakingTurnsActOnEachMailOnceAndKeepTheEdit) {
  const Rule forward = rule(kForward);
  const Rule backup = rule(kBackup);
  write_data(alice(), {forward});
  {
    RuleStore stored;
    stored.add(forward);
    stored.add(backup);
    ASSERT_TRUE(stored.save(program).ok);
  }

  // The window: stores loaded once at start-up, kept in memory, checks run
  // under the directory's check lock as the program's check control does.
  RuleStore rules;
  (void)rules.load(program);
  MailboxList mailboxes(program);
  (void)mailboxes.load([&](uint32_t id) { return rules.find_by_id(static_cast<int32_t>(id)) != nullptr; });
  OperationLog log(program, clock);
  log.load_current_month();
  LocalMailIndex local(program, clock);
  local.load_current_month();
  ScriptedEngineHost host;
  NoVerifier verifier;
  NoDialUp no_dial_up;
  CheckRun window(CheckServices{mailboxes, log, local, verifier, clock, no_dial_up, host});
  auto window_check = [&] {
    DirectoryLock lock(program.file(DirectoryLock::kCheckLockName));
    ASSERT_TRUE(lock.locked());
    RunSettings settings;
    settings.rules = {forward, backup};
    EXPECT_TRUE(window.run(nullptr, settings).ok()) << (host.notices.empty() ? "" : host.notices[0]);
  };

  int delivered = 0;
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    for (int k = 0; k < 4; ++k) pop.deliver("alice", e2e_mail(++delivered));
    if (round == 2) {
      // The user binds the backup rule in the window, which saves at once.
      ASSERT_TRUE(mailboxes.bind(*mailboxes.at(0), static_cast<uint32_t>(backup.id)));
      ASSERT_TRUE(mailboxes.save().ok);
    }
    if (round % 2 == 0) {
      window_check();
    } else {
      ASSERT_EQ(check_once(), 0) << stderr_text();
    }
    ASSERT_TRUE(smtp.wait_for_mails(size_t(delivered)));
  }
  // Nothing new: neither side sends anything again, also after the window
  // saved its accounts (as at exit).
  ASSERT_TRUE(mailboxes.save().ok);
  window_check();
  ASSERT_EQ(check_once(), 0) << stderr_text();

  EXPECT_EQ(smtp.mails().size(), size_t(delivered));
  const std::map<int, int> forwarded = forwards();
  for (int k = 1; k <= delivered; ++k) EXPECT_EQ(forwarded.count(k) ? forwarded.at(k) : 0, 1) << "mail " << k;
  EXPECT_EQ(backup_contents().size(), 16u) << "mails of the rounds after the edit";
  MailboxList reread(program);
  (void)reread.load([](uint32_t) { return true; });
  ASSERT_EQ(reread.count(), 1u);
  EXPECT_EQ(reread.at(0)->bound_rules(),
            (std::vector<uint32_t>{static_cast<uint32_t>(forward.id), static_cast<uint32_t>(backup.id)}));
  EXPECT_EQ(uid_lines().size(), size_t(delivered));
}

}  // namespace
}  // namespace pw::test
