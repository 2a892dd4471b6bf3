// After the scan: the confirmation hand-over with its countdown, the
// deletion phase with its second session, its log lines and its journal, the
// dial-up steps and the worker thread with its flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "check_run_fixture.h"
#include "res/string_table.h"
#include "rules/rule_description.h"

namespace pw::test {
namespace {

constexpr uint32_t kDelete = bit(ActionKind::delete_on_server);

class CheckRunPhases : public CheckRunFixture {
 protected:
  // A scan session that finds the mails `uids` new (no fetch needed).
  void scan_session(const std::vector<std::string>& uids) {
    ScriptedPeer& p = next_session();
    pop_login(p);
    pop_uidl(p, uids);
    pop_quit(p);
  }
  std::string delete_text(const Rule& rule) const { return action_piece(rule, ActionKind::delete_on_server).text; }
};

TEST_F(CheckRunPhases, countdownIsTheLargestOfTheAskingRulesOrZeroWhenOneWaits) {
  struct Case {
    int32_t first;
    int32_t second;
    int expected;
  };
  for (const Case& c : {Case{10, 30, 30}, Case{30, 10, 30}, Case{10, 0, 0}, Case{0, 30, 0}}) {
    rules.clear();
    (void)mailboxes.unbind_all(*account);
    mailboxes.resume(*account);
    host.confirmations.clear();
    add_rule(0, bit(ActionKind::confirm), c.first);
    add_rule(0, bit(ActionKind::confirm), c.second);
    scan_session({"m" + std::to_string(c.first) + "-" + std::to_string(c.second)});

    EXPECT_TRUE(check().ok());

    ASSERT_EQ(host.confirmations.size(), 1u);
    EXPECT_EQ(host.confirmations[0].countdown, c.expected) << c.first << " " << c.second;
    EXPECT_EQ(host.confirmations[0].address, "me@home.test");
  }
  expect_sessions_done();
  EXPECT_EQ(host.fronts, 4);
}

TEST_F(CheckRunPhases, noAskingRuleMeansNoConfirmation) {
  add_rule(0, 0);
  scan_session({"a"});
  EXPECT_TRUE(check().ok());
  EXPECT_TRUE(host.confirmations.empty());
  EXPECT_EQ(host.fronts, 0);
}

TEST_F(CheckRunPhases, accountHeldByRemoteManagementIsSkippedAndSaysSo) {
  add_rule(0, 0);
  ASSERT_TRUE(account->claim(MailboxAccount::Worker::remote_management));
  EXPECT_TRUE(check().ok());
  EXPECT_EQ(opened, 0u);
  const std::string skipped = res::text(sid::kSkippedInRemote) + "me@home.test";
  EXPECT_TRUE(std::any_of(host.reports.begin(), host.reports.end(),
                          [&](const StatusReport& r) { return r.text == skipped; }));
  account->release(MailboxAccount::Worker::remote_management);
  scan_session({"a"});
  EXPECT_TRUE(check().ok());
  expect_sessions_done();
  EXPECT_EQ(account->worker(), MailboxAccount::Worker::none);
}

TEST_F(CheckRunPhases, deletionPhaseDeletesInASecondSessionAndLogsEachDeletion) {
  const Rule& rule = add_rule(0, kDelete);
  scan_session({"a", "b"});
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"a", "b"});
  d.client("DELE 1\r\n").server("+OK\r\n").client("DELE 2\r\n").server("+OK\r\n");
  pop_quit(d);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  for (const LogRecord& r : records) {
    EXPECT_EQ(r.account, "me@home.test");
    EXPECT_EQ(r.operation, delete_text(rule));
    EXPECT_TRUE(r.success);
  }
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(CheckRunPhases, twoMatchingRulesThatBothDeleteDeleteOnce) {
  const Rule& first = add_rule(0, kDelete);
  add_rule(0, kDelete);
  scan_session({"a"});
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"a"});
  d.client("DELE 1\r\n").server("+OK\r\n");
  pop_quit(d);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_EQ(log_records()[0].operation, delete_text(first));
}

TEST_F(CheckRunPhases, deletionSwitchedOffInTheConfirmationQueuesNothing) {
  add_rule(0, kDelete | bit(ActionKind::confirm), 3);
  host.on_confirm = [](std::span<MailProcessor* const> mails) {
    for (MailProcessor* m : mails) m->set_action_mask(0, ~kDelete);
  };
  scan_session({"a"});

  EXPECT_TRUE(check().ok());

  expect_sessions_done();  // no deletion session
  EXPECT_TRUE(log_records().empty());
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"a"});
}

TEST_F(CheckRunPhases, deletionMatchesIdentifiersExactlyAndLogsAMissingMailAsFailed) {
  add_rule(0, kDelete);
  scan_session({"Ab"});
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"ab"});  // only the letter case differs: not the same mail
  pop_quit(d);

  RunOutcome outcome = check();

  expect_sessions_done();
  EXPECT_EQ(outcome.deletions_failed, 1u);
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_FALSE(log_records()[0].success);
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0], res::text(sid::kErrorTitle) + "|" + OperationLog::failure_notice(log_records()[0]));
  EXPECT_FALSE(std::filesystem::exists(journal_file()));  // gone from the server: nothing to retry
}

TEST_F(CheckRunPhases, deletionWithoutQuitConfirmationFailsAndIsRetriedFirstNextTime) {
  add_rule(0, kDelete);
  scan_session({"a"});
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"a"});
  d.client("DELE 1\r\n").server("+OK\r\n").client("QUIT\r\n").close();

  RunOutcome outcome = check();

  expect_sessions_done();
  EXPECT_EQ(outcome.deletions_failed, 1u);
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_FALSE(log_records()[0].success);
  ASSERT_EQ(DeletionJournal(journal_file()).load().size(), 1u);
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"a"});

  // The next check deletes it before it scans.
  ScriptedPeer& retry = next_session();
  pop_login(retry);
  pop_uidl(retry, {"a"});
  retry.client("DELE 1\r\n").server("+OK\r\n");
  pop_quit(retry);
  scan_session({});

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(log_records().size(), 2u);
  EXPECT_TRUE(log_records()[1].success);
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
}

TEST_F(CheckRunPhases, refusedDeleteIsLoggedAsFailedAndNotRetried) {
  add_rule(0, kDelete);
  scan_session({"a"});
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"a"});
  d.client("DELE 1\r\n").server("-ERR locked\r\n");
  pop_quit(d);

  EXPECT_EQ(check().deletions_failed, 1u);

  expect_sessions_done();
  EXPECT_FALSE(log_records().at(0).success);
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
}

TEST_F(CheckRunPhases, failedDeletionLogInKeepsEveryDeletionForTheNextCheck) {
  add_rule(0, kDelete);
  scan_session({"a", "b"});
  next_session().refuse_connect();

  EXPECT_EQ(check().deletions_failed, 2u);

  expect_sessions_done();
  std::vector<PendingDeletion> kept = DeletionJournal(journal_file()).load();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].uid, "a");
  EXPECT_EQ(kept[1].uid, "b");
  EXPECT_EQ(kept[0].description, delete_text(rules[0]));
}

TEST_F(CheckRunPhases, journalLeftByACrashIsCarriedOutBeforeTheScan) {
  add_rule(kFetchHeader);
  ASSERT_TRUE(DeletionJournal(journal_file()).append({"x1", "s", "r", "subj", "crash left", false}));
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"x1", "x2"});
  d.client("DELE 1\r\n").server("+OK\r\n");
  pop_quit(d);
  ScriptedPeer& s = next_session();
  pop_login(s);
  pop_uidl(s, {"x2"});
  pop_top(s, 1, "Subject: x2\r\n\r\n");
  pop_quit(s);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_EQ(log_records()[0].operation, "crash left");
  EXPECT_EQ(log_records()[0].subject, "subj");
  EXPECT_TRUE(log_records()[0].success);
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
}

TEST_F(CheckRunPhases, replayedDeletionWhoseMailIsGoneIsDoneNotFailed) {
  add_rule(0);
  ASSERT_TRUE(DeletionJournal(journal_file()).append({"x1", "s", "r", "subj", "quit answer lost", false}));
  ScriptedPeer& d = next_session();
  pop_login(d);
  pop_uidl(d, {"x2"});  // the earlier QUIT committed it
  pop_quit(d);
  scan_session({});

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_TRUE(log_records()[0].success);
  EXPECT_TRUE(host.notices.empty());
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
}

TEST_F(CheckRunPhases, unreachableServerGivesOneJournalNoticePerAccountNotOneBoxPerEntry) {
  add_rule(0);
  for (const char* uid : {"x1", "x2", "x3"})
    ASSERT_TRUE(DeletionJournal(journal_file()).append({uid, "s", "r", "subj", "delete", false}));
  next_session().refuse_connect();  // the replay
  next_session().refuse_connect();  // the scan

  EXPECT_FALSE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(host.notices.size(), 2u);
  EXPECT_EQ(host.notices[0], res::text(sid::kErrorTitle) + "|me@home.test\r\n3" + res::text(sid::kDeletionsWaiting) + "\r\n\"" +
                                 res::text(sid::kCannotConnect) + "\"");
  EXPECT_TRUE(host.notices[1].find(res::text(sid::kScanError)) != std::string::npos);  // the scan's own
  EXPECT_EQ(DeletionJournal(journal_file()).load().size(), 3u);
}

TEST_F(CheckRunPhases, failedDialEndsTheRunAndTheNextStartDialsAgain) {
  add_rule(kFetchHeader);
  RunSettings s = settings();
  s.auto_dial = true;
  s.hang_up = true;
  s.dial.entry = "modem";
  dial_up.next = {633, "busy"};

  RunOutcome outcome = run.run(nullptr, s);

  EXPECT_TRUE(outcome.dial_failed);
  EXPECT_EQ(opened, 0u);
  EXPECT_EQ(dial_up.hang_ups, 0);
  EXPECT_EQ(host.dial_messages, std::vector<std::string>{res::text(sid::kDialUpError) + "busy"});
  EXPECT_FALSE(run.check_running());

  dial_up.next = {};
  scan_session({});
  EXPECT_TRUE(run.run(nullptr, s).ok());
  EXPECT_EQ(dial_up.dialled, (std::vector<std::string>{"modem", "modem"}));
  EXPECT_EQ(dial_up.hang_ups, 1);
  expect_sessions_done();
}

TEST_F(CheckRunPhases, workerRunsOneCheckAtATimeAndClearsItsFlags) {
  add_rule(0, bit(ActionKind::confirm), 1);
  scan_session({"a"});
  std::mutex m;
  std::condition_variable cv;
  bool inside = false;
  bool release = false;
  bool running_inside = false;
  bool single_inside = false;
  host.on_confirm = [&](std::span<MailProcessor* const>) {
    running_inside = run.check_running();
    single_inside = run.single_check();
    std::unique_lock lock(m);
    inside = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
  };

  ASSERT_TRUE(run.start(account, settings()));
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return inside; });
  }
  EXPECT_TRUE(run.check_running());
  EXPECT_FALSE(run.start(nullptr, settings()));  // a run is going on
  EXPECT_FALSE(run.run(nullptr, settings()).ran);
  {
    std::lock_guard lock(m);
    release = true;
  }
  cv.notify_all();
  run.wait();

  EXPECT_TRUE(running_inside);
  EXPECT_TRUE(single_inside);
  EXPECT_FALSE(run.check_running());
  EXPECT_FALSE(run.single_check());
  EXPECT_TRUE(run.last_outcome().ok());
  EXPECT_EQ(run.last_outcome().accounts_checked, 1u);
  expect_sessions_done();

  scan_session({});
  EXPECT_TRUE(run.start(nullptr, settings()));  // idle again
  run.wait();
  expect_sessions_done();
}

TEST(DeletionJournalFile, recordsRoundTripWithAwkwardBytesAndATornRecordIsDropped) {
  TempDir dir;
  const std::filesystem::path file = dir.path() / "me@home.test.del";
  DeletionJournal journal(file);
  const PendingDeletion odd{"u\t1", "a\\b", "line\r\nbreak", "\xd6\xd0\xce\xc4", "desc\n", false};
  ASSERT_TRUE(journal.append(odd));
  ASSERT_TRUE(journal.append({"u2", "", "", "", "", false}));
  std::vector<PendingDeletion> back = journal.load();
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].uid, odd.uid);
  EXPECT_EQ(back[0].sender, odd.sender);
  EXPECT_EQ(back[0].recipient, odd.recipient);
  EXPECT_EQ(back[0].subject, odd.subject);
  EXPECT_EQ(back[0].description, odd.description);

  // A crash cut the third record short; the next append starts a new line.
  std::string torn = DeletionJournal::encode({"u3", "s", "r", "j", "description", false});
  ASSERT_TRUE(append_file(file, torn.substr(0, torn.size() - 5)));
  EXPECT_EQ(journal.load().size(), 2u);
  ASSERT_TRUE(journal.append({"u4", "", "", "", "", false}));
  back = journal.load();
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[2].uid, "u4");

  ASSERT_TRUE(journal.replace({}));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(DeletionJournal::file_for(dir.path() / "me@home.test.uid"), file);
}

}  // namespace
}  // namespace pw::test
