// The scan of a check: what is fetched for which fetch needs, in what receive
// sizes, with which progress, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "check_run_fixture.h"
#include "net/line_socket.h"
#include "res/string_table.h"
#include "support/dovecot_server.h"

namespace pw::test {
namespace {

TEST(CheckRunSizes, chunkSizeAndProgressScaleFollowTheMailSize) {
  struct Case {
    uint32_t size;
    uint32_t chunk;
    uint32_t scale;
  };
  for (const Case& c : {Case{0, 1024, 1}, Case{99, 1024, 1}, Case{100, 1024, 10}, Case{10239, 1024, 1000},
                        Case{10240, 2048, 1000}, Case{20479, 2048, 1000}, Case{20480, 4096, 1000},
                        Case{250000, 32768, 10000}, Case{0xffffffffu, 0x20000000u, 100000000}}) {
    EXPECT_EQ(whole_mail_chunk_size(c.size), c.chunk) << c.size;
    EXPECT_EQ(progress_scale(c.size), c.scale) << c.size;
    EXPECT_LE(c.size / c.scale + 1, 100u) << c.size;
  }
}

TEST(CheckRunSizes, fetchNeedsCombineWithTheWholeMailWinningOverTheHeader) {
  struct Case {
    std::vector<uint32_t> needs;
    uint32_t combined;
  };
  for (const Case& c : {Case{{}, 0}, Case{{0, 0}, 0}, Case{{1, 4}, 5}, Case{{2, 1}, 2}, Case{{3}, 2},
                        Case{{4, 2, 1}, 6}, Case{{7}, 6}, Case{{1, 1}, 1}}) {
    std::vector<Rule> rules(c.needs.size());
    std::vector<const Rule*> bound;
    for (size_t k = 0; k < rules.size(); ++k) {
      rules[k].fetch_need = c.needs[k];
      bound.push_back(&rules[k]);
    }
    EXPECT_EQ(combined_fetch_need(bound), c.combined);
  }
}

TEST(CheckRunSizes, topAnswerCountsAsWholeOnlyWithBodyBytes) {
  struct Case {
    const char* text;
    bool whole;
  };
  for (const Case& c : {Case{"Subject: a\r\n\r\n", false}, Case{"Subject: a\r\n", false},
                        Case{"Subject: a\r\n\r\n0123456789abc", true},  // 4 + 13 + the final ".\r\n" = 20
                        Case{"Subject: a\r\n\r\n0123456789ab", false}, Case{"Subject: a\n\n0123456789abcdefg", true},
                        Case{"", false}}) {
    EXPECT_EQ(top_holds_body(c.text), c.whole) << c.text;
  }
}

class CheckRunScan : public CheckRunFixture {};

TEST_F(CheckRunScan, headerAndSizeNeedsGetOneListAndTopForEachNewMailOnly) {
  add_rule(kFetchHeader);
  add_rule(kFetchSize);
  account->seen().add("old");
  ScriptedPeer& p = listed_session({"old", "new1"});
  pop_list_all(p, {{1, 99}, {2, 1234}});
  pop_top(p, 2, "Subject: hello\r\n\r\n");
  pop_quit(p);

  RunOutcome outcome = check();

  expect_sessions_done();
  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.accounts_checked, 1u);
  EXPECT_TRUE(account->uid_list_complete());
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"new1"});
  std::vector<std::string> steps = host.texts(1);
  const std::vector<std::string> expected = {res::text(sid::kConnecting),
                                             res::text(sid::kLookingForNewMails),
                                             res::text(sid::kFetchingMail) + "2" + res::text(sid::kFetchingSize),
                                             res::text(sid::kFetchingMail) + "2" + res::text(sid::kFetchingHeader),
                                             res::text(sid::kDisconnecting),
                                             res::text(sid::kMatching),
                                             res::text(sid::kActing),
                                             res::text(sid::kForwarding),
                                             res::text(sid::kBackingUp),
                                             res::text(sid::kReplying),
                                             res::text(sid::kSavingKeyInfo),
                                             res::text(sid::kSavingAttachments),
                                             res::text(sid::kDeleting),
                                             ""};
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(host.texts(0), (std::vector<std::string>{res::text(sid::kCheckingMailbox) + "me@home.test", res::text(sid::kTitleWithVersion)}));
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(CheckRunScan, wholeMailNeedGetsListAndRetrInAboutTenReceivesWithAtMostHundredSteps) {
  add_rule(kFetchWhole);
  add_rule(kFetchHeader);
  std::string mail = "Subject: big\r\n\r\n";
  while (mail.size() < 250000) mail += std::string(98, 'x') + "\r\n";
  mail.resize(250000 - 2);
  mail += "\r\n";
  ScriptedPeer& p = listed_session({"big"});
  pop_list_all(p, {{1, mail.size()}});
  pop_retr(p, 1, mail);
  pop_quit(p);
  std::string held;
  add_rule(0, bit(ActionKind::confirm), 5);
  host.on_confirm = [&](std::span<MailProcessor* const> mails) {
    ASSERT_EQ(mails.size(), 1u);
    held = mails[0]->content();
    EXPECT_TRUE(mails[0]->summary().full_text);
    EXPECT_EQ(mails[0]->summary().size, 250000u);
  };

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  EXPECT_EQ(held, mail);
  std::vector<StatusReport> progress;
  for (const StatusReport& r : host.reports)
    if (r.kind != StatusReport::Kind::text) progress.push_back(r);
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), StatusReport::progress_range(0, 26));
  EXPECT_EQ(progress[progress.size() - 2], StatusReport::progress_position(26));
  EXPECT_EQ(progress.back(), StatusReport::hide_progress());
  for (size_t k = 2; k + 1 < progress.size(); ++k) EXPECT_GE(progress[k].position, progress[k - 1].position);
  EXPECT_EQ(*std::max_element(receive_sizes.begin(), receive_sizes.end()), 65536u);
  EXPECT_LE(std::count(receive_sizes.begin(), receive_sizes.end(), 65536u), 10);
}

TEST_F(CheckRunScan, noFetchNeedFetchesNothingButTheListing) {
  add_rule(0, bit(ActionKind::delete_on_server)).delete_always = false;
  rules.back().action_mask = 0;
  scan_session({"a", "b"});

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"a", "b"}));
}

// The mails that came in whole before a failure are acted on at once, so a
// check over a bad line gets somewhere; the failed one is new again.
TEST_F(CheckRunScan, failedRetrOfThirdOfFiveActsOnTheTwoBeforeAndTheThirdIsNewAgain) {
  add_rule(kFetchWhole);
  const std::vector<std::string> uids = {"u1", "u2", "u3", "u4", "u5"};
  ScriptedPeer& first = listed_session(uids);
  pop_list_all(first, {{1, 100}, {2, 200}, {3, 300}, {4, 400}, {5, 500}});
  pop_capa(first, {});  // no pipelining: one command after the other
  pop_retr(first, 1, small_mail(1));
  pop_retr(first, 2, small_mail(2));
  first.client("RETR 3\r\n").server("-ERR no such message\r\n");
  pop_quit(first);

  RunOutcome failed = check();

  expect_sessions_done();
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.scans_failed, 1u);
  EXPECT_EQ(run.waiting_mails(*account), 0u);
  EXPECT_FALSE(account->uid_list_complete());
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0], res::text(sid::kErrorTitle) + "|me@home.test\r\n" + res::text(sid::kScanError) +
                                 "\r\n\"-ERR no such message\r\n\"");
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>({"u1", "u2"}));
  // The log keeps the failure with its reason, also when nobody saw the notice.
  ASSERT_FALSE(log_records().empty());
  EXPECT_EQ(log_records().back().account, "me@home.test");
  EXPECT_EQ(log_records().back().operation, "-ERR no such message");
  EXPECT_FALSE(log_records().back().success);
  ASSERT_EQ(failed.checks.size(), 1u);
  EXPECT_EQ(failed.checks[0].result, AccountCheck::Result::failed);
  EXPECT_EQ(failed.checks[0].reason, "-ERR no such message");

  ScriptedPeer& second = listed_session(uids);
  pop_list_all(second, {{1, 100}, {2, 200}, {3, 300}, {4, 400}, {5, 500}});
  pop_capa(second, {});
  pop_retr(second, 3, small_mail(3));  // 1 and 2 were seen
  pop_retr(second, 4, small_mail(4));
  pop_retr(second, 5, small_mail(5));
  pop_quit(second);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  EXPECT_EQ(run.waiting_mails(*account), 0u);
  EXPECT_TRUE(account->uid_list_complete());
  EXPECT_EQ(seen_file_lines(), uids);
}

// With PIPELINING the commands of the new mails go out together; a refused
// one fails the scan as it does one after another: the mails before it are
// kept, the replies still due are read before QUIT.
TEST_F(CheckRunScan, pipelinedScanSendsAheadAndARefusalInTheMiddleEndsItAsWithout) {
  add_rule(kFetchHeader);
  ScriptedPeer& p = listed_session({"u1", "u2", "u3", "u4"});
  pop_capa(p, {"TOP", "UIDL", "PIPELINING"});
  p.client("TOP 1 0\r\nTOP 2 0\r\nTOP 3 0\r\nTOP 4 0\r\n")
      .server("+OK\r\nSubject: one\r\n\r\n.\r\n-ERR gone\r\n+OK\r\nSubject: three\r\n\r\n..dot\r\n.\r\n-ERR gone\r\n");
  p.client("QUIT\r\n");  // the scan deletes nothing: its answer is not waited for

  RunOutcome outcome = check();

  expect_sessions_done();
  EXPECT_EQ(outcome.scans_failed, 1u);
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"u1"});
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_NE(host.notices[0].find("-ERR gone"), std::string::npos);
}

// A deletion queued by a mail acted on after a failed scan waits in the
// journal: the line just failed, so the next check carries it out first.
TEST_F(CheckRunScan, deletionOfAMailActedOnAfterAFailedScanWaitsForTheNextCheck) {
  add_rule(kFetchSize, 0x40);
  ScriptedPeer& first = listed_session({"u1", "u2"});
  pop_list_all(first, {{1, 100}});  // the second is missing from the listing
  first.client("LIST 2\r\n").server("-ERR busy\r\n");
  pop_quit(first);
  EXPECT_FALSE(check().ok());
  expect_sessions_done();
  EXPECT_EQ(DeletionJournal(journal_file()).load().size(), 1u);
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"u1"});
  ASSERT_EQ(log_records().size(), 1u);  // the failed scan, with its reason
  EXPECT_FALSE(log_records()[0].success);

  deletion_session({"u1", "u2"}, {1});
  ScriptedPeer& second = listed_session({"u2"});
  pop_list_all(second, {{1, 200}});
  pop_quit(second);
  deletion_session({"u2"}, {1});

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(log_records().size(), 3u);  // the failed scan, then the two deletions
  EXPECT_FALSE(log_records()[0].success);
  EXPECT_TRUE(log_records()[1].success && log_records()[2].success);
  EXPECT_FALSE(std::filesystem::exists(journal_file()));
}

TEST_F(CheckRunScan, emptyListingCompletesTheListSoStoredIdentifiersAreDropped) {
  add_rule(kFetchHeader);
  ASSERT_TRUE(write_file_atomic(account->seen().file(), "A\r\nB\r\n"));
  ASSERT_EQ(account->seen().load(), 2u);
  scan_session({});

  EXPECT_TRUE(check().ok());
  ASSERT_TRUE(mailboxes.save().ok);

  EXPECT_TRUE(account->uid_list_complete());
  EXPECT_EQ(read_file(account->seen().file()), std::string());
}

TEST_F(CheckRunScan, listingOfBAndCAgainstStoredAAndBKeepsBAndC) {
  add_rule(kFetchHeader);
  ASSERT_TRUE(write_file_atomic(account->seen().file(), "A\r\nB\r\n"));
  ASSERT_EQ(account->seen().load(), 2u);
  ScriptedPeer& p = listed_session({"B", "C"});
  pop_top(p, 2, "Subject: c\r\n\r\n");
  pop_quit(p);

  EXPECT_TRUE(check().ok());
  // "A" is gone from the server: the check itself drops it from the file.
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"B", "C"}));
  ASSERT_TRUE(mailboxes.save().ok);
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"B", "C"}));
}

TEST_F(CheckRunScan, refusedLogInFailsTheScanWithoutQuit) {
  add_rule(kFetchHeader);
  ScriptedPeer& p = next_session();
  p.server("+OK ready\r\n").client("USER me\r\n").server("-ERR unknown user\r\n");

  RunOutcome outcome = check();

  expect_sessions_done();
  EXPECT_EQ(outcome.scans_failed, 1u);
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_NE(host.notices[0].find("\"-ERR unknown user\r\n\""), std::string::npos);
  EXPECT_EQ(host.texts(1).back(), "");
}

TEST_F(CheckRunScan, unreachableServerIsReportedWithTheConnectText) {
  add_rule(kFetchHeader);
  next_session().refuse_connect();

  EXPECT_FALSE(check().ok());

  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_NE(host.notices[0].find("\"" + res::text(sid::kCannotConnect) + "\""), std::string::npos);
}

TEST_F(CheckRunScan, correctedPasswordIsCopiedIntoTheAccount) {
  add_rule(kFetchHeader);
  host.logins.push_back(LoginData{"me2", "right"});
  ScriptedPeer& p = next_session();
  p.server("+OK ready\r\n").client("USER me\r\n").server("+OK\r\n").client("PASS pop-secret\r\n");
  p.server("-ERR [AUTH] wrong\r\n").client("USER me2\r\n").server("+OK\r\n").client("PASS right\r\n").server("+OK\r\n");
  pop_uidl(p, {});
  pop_quit(p);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  ASSERT_EQ(host.login_requests.size(), 1u);
  EXPECT_EQ(host.login_requests[0].service, LoginService::pop3);
  EXPECT_EQ(host.login_requests[0].refused.user, "me");
  EXPECT_EQ(account->record().login_name, "me2");
  EXPECT_EQ(account->record().password, "right");
}

TEST_F(CheckRunScan, cancelledCorrectionKeepsTheStoredLogIn) {
  add_rule(kFetchHeader);
  ScriptedPeer& p = next_session();
  p.server("+OK ready\r\n").client("USER me\r\n").server("+OK\r\n").client("PASS pop-secret\r\n");
  p.server("-ERR [AUTH] wrong\r\n");

  EXPECT_FALSE(check().ok());

  expect_sessions_done();
  EXPECT_EQ(account->record().login_name, "me");
  EXPECT_EQ(account->record().password, "pop-secret");
}

TEST_F(CheckRunScan, brokenTransferFailsTheScanAndTheMailIsNewAgain) {
  add_rule(kFetchWhole);
  ScriptedPeer& p = listed_session({"a", "b"});
  pop_list_all(p, {{1, 40}, {2, 40}});
  pop_capa(p, {});
  pop_retr(p, 1, small_mail(1));
  p.client("RETR 2\r\n").server("+OK\r\nFrom: x\r\n").close();

  EXPECT_EQ(check().scans_failed, 1u);
  EXPECT_EQ(seen_file_lines(), std::vector<std::string>{"a"});
  EXPECT_EQ(host.reports.back(), StatusReport::show_text(0, res::text(sid::kTitleWithVersion)));
  EXPECT_NE(std::find(host.reports.begin(), host.reports.end(), StatusReport::hide_progress()), host.reports.end());
}

TEST_F(CheckRunScan, pausedAccountAndAccountWithoutRulesAreSkippedSilently) {
  add_rule(kFetchHeader);
  MailboxRecord r = account->record();
  r.address = "other@home.test";
  std::shared_ptr<MailboxAccount> unbound = mailboxes.create(r, false);
  (void)unbound;
  mailboxes.pause(*account);

  EXPECT_TRUE(check().ok());

  EXPECT_EQ(opened, 0u);
  EXPECT_EQ(host.texts(0), std::vector<std::string>{res::text(sid::kTitleWithVersion)});
}

}  // namespace
}  // namespace pw::test

namespace pw::test {
namespace {

TEST_F(CheckRunScan, mailNoRuleTookReachesTheFileInOneWriteAfterTheActions) {
  Rule& r = add_rule(kFetchHeader);
  r.condition_mask = bit(ConditionKind::subject_words);
  r.word_lists[4] = "urgent;";
  ScriptedPeer& p = listed_session({"plain", "hot"});
  pop_capa(p, {});
  pop_top(p, 1, "Subject: hello\r\n\r\n");
  pop_top(p, 2, "Subject: urgent matter\r\n\r\n");
  pop_quit(p);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  EXPECT_TRUE(account->seen().contains("plain"));
  // "hot" was flushed at once (a rule acted on it), "plain" joined the end.
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"hot", "plain"}));
  ASSERT_TRUE(mailboxes.save().ok);
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"hot", "plain"}));
}

TEST_F(CheckRunScan, identifiersAreComparedExactlyAtTheirFullLength) {
  add_rule(kFetchHeader);
  const std::string long_uid = std::string(69, 'L') + "z";
  ASSERT_TRUE(write_file_atomic(account->seen().file(), "Ab\r\n" + long_uid + "\r\n"));
  account->seen().load();
  ScriptedPeer& p = listed_session({"Ab", long_uid, "ab"});
  pop_top(p, 3, "Subject: the other mail\r\n\r\n");  // only the letter case differs: a mail of its own
  pop_quit(p);

  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  EXPECT_EQ(seen_file_lines(), (std::vector<std::string>{"Ab", long_uid, "ab"}));
}

TEST_F(CheckRunScan, eachCheckStartsFromWhatTheUidFileHoldsNow) {
  add_rule(kFetchHeader);
  ScriptedPeer& first = listed_session({"a"});
  pop_top(first, 1, "Subject: a\r\n\r\n");
  pop_quit(first);
  EXPECT_TRUE(check().ok());

  // A headless check beside us took "b" and appended it.
  SeenUidList other(account->seen().file());
  ASSERT_TRUE(other.append_seen("b"));
  scan_session({"a", "b"});
  EXPECT_TRUE(check().ok());
  expect_sessions_done();
}

// A mail listed over the per-mail limit is not fetched: it is logged as not
// received, noticed with its size and recorded as seen, and the scan goes on
// with the next mail.
TEST_F(CheckRunScan, mailOverTheLimitFailsAloneAndIsNotFetchedAgain) {
  add_rule(kFetchWhole);
  const uint32_t huge = (uint32_t{64} << 20) + 1;
  ScriptedPeer& p = listed_session({"huge", "small"});
  pop_list_all(p, {{1, huge}, {2, small_mail(2).size()}});
  pop_capa(p, {"PIPELINING"});
  pop_retr(p, 2, small_mail(2));  // the huge one is never asked for
  p.client("QUIT\r\n");
  scan_session({"huge", "small"});

  RunOutcome outcome = check();
  EXPECT_TRUE(outcome.ok());
  EXPECT_TRUE(check().ok());

  expect_sessions_done();
  const std::vector<LogRecord> logged = log_records();
  ASSERT_FALSE(logged.empty());
  EXPECT_FALSE(logged[0].success);
  EXPECT_EQ(logged[0].operation, res::text(sid::kMailNotReceived) + " " + std::to_string(huge) + " huge");
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0], res::text(sid::kErrorTitle) + "|me@home.test\r\n" + res::text(sid::kMailTooLarge) + std::to_string(huge));
  EXPECT_TRUE(account->seen().find("huge").has_value());
  EXPECT_TRUE(account->seen().find("small").has_value());
}

// A real server's stream with PIPELINING struck from its capabilities.
class WithoutPipelining final : public ByteStream {
 public:
  bool connect(const std::string& host, int port) override { return socket_.connect(host, port); }
  int send(std::string_view data) override { return socket_.send(data); }
  int receive(char* buffer, size_t capacity) override {
    const int n = socket_.receive(buffer, capacity);
    if (n > 0)
      for (char* p = buffer; (p = static_cast<char*>(memmem(p, buffer + n - p, "PIPELINING", 10))); p += 10) *p = 'X';
    return n;
  }

 private:
  LineSocket socket_;
};

// One first check of a real server's mailbox with a rule of `need` that
// asks first, through a stream with or without pipelining: the texts held
// when the window would open, and the reports.
struct RealServerScan : CheckRunFixture {
  void TestBody() override {}
  std::vector<std::string> scan(const std::string& server, uint32_t need, bool pipelined,
                                std::vector<StatusReport>& reports, size_t texts_in_memory = size_t{64} << 20) {
    MailboxRecord r = account->record();
    r.pop_server = server;
    account->set_record(r);
    add_rule(need, 0, 5).action_mask = bit(ActionKind::confirm);
    std::vector<std::string> held;
    host.on_confirm = [&](std::span<MailProcessor* const> mails) {
      for (MailProcessor* m : mails) held.push_back(m->content());
    };
    CheckRun real{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host, {},
                                Pop3Options{.stream = [pipelined]() -> std::unique_ptr<ByteStream> {
                                  if (pipelined) return std::make_unique<LineSocket>();
                                  return std::make_unique<WithoutPipelining>();
                                }},
                                texts_in_memory}};
    EXPECT_TRUE(real.run(nullptr, settings()).ok());
    // Where the bar stands between receives depends on how the bytes
    // happen to arrive, with or without pipelining; the rest may not.
    for (const StatusReport& report : host.reports)
      if (report.kind != StatusReport::Kind::progress_position) reports.push_back(report);
    return held;
  }
};

// The same mailbox on Dovecot, scanned with and without pipelining, for
// headers and for whole mails: the same mails, bytes, texts and ranges.
TEST(CheckRunPipelining, pipelinedScanOfARealServerGivesWhatTheSequentialOneGives) {
  DovecotServer pop;
  for (int k = 0; k < 70; ++k) pop.deliver("me", small_mail(k) + std::string(size_t(k) * 301, 'x') + "\n.\n..\n");
  ASSERT_TRUE(pop.start({{"me", "pop-secret"}})) << pop.error();
  for (uint32_t need : {kFetchHeader, kFetchWhole}) {
    std::vector<StatusReport> with, without;
    const std::vector<std::string> pipelined = RealServerScan().scan(pop.server_field(), need, true, with);
    const std::vector<std::string> sequential = RealServerScan().scan(pop.server_field(), need, false, without);
    // Every text beyond the first 40 KB waits in the spool file.
    std::vector<StatusReport> spooled_reports;
    const std::vector<std::string> spooled =
        RealServerScan().scan(pop.server_field(), need, true, spooled_reports, 40000);
    EXPECT_EQ(pipelined.size(), 70u) << need;
    EXPECT_EQ(pipelined, sequential) << need;
    EXPECT_EQ(with, without) << need;
    EXPECT_EQ(spooled, sequential) << need;
    EXPECT_EQ(spooled_reports, without) << need;
  }
}

// A first check that backs every mail of `login` up and deletes it, with or
// without pipelining: its log and local-mail records (with each backup's
// name and bytes), and the protocol trace.
struct RealServerDeletion : CheckRunFixture {
  void TestBody() override {}
  std::vector<std::string> check(const std::string& server, const std::string& login, bool pipelined,
                                 std::vector<std::string>& trace) {
    MailboxRecord r = account->record();
    r.pop_server = server;
    r.login_name = login;
    account->set_record(r);
    add_rule(kFetchWhole, bit(ActionKind::backup) | bit(ActionKind::delete_on_server)).backup_dir =
        backups.path().string();
    CheckRun real{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host, {},
                                Pop3Options{.stream = [pipelined]() -> std::unique_ptr<ByteStream> {
                                              if (pipelined) return std::make_unique<LineSocket>();
                                              return std::make_unique<WithoutPipelining>();
                                            },
                                            .trace = [&trace](std::string_view line) { trace.emplace_back(line); }}}};
    EXPECT_TRUE(real.run(nullptr, settings()).ok());
    std::vector<std::string> records;
    for (LogRecord logged : log_records()) {
      const size_t dir = logged.operation.find(backups.path().string());
      if (dir != std::string::npos) logged.operation.erase(dir);
      records.push_back(logged.sender + "|" + logged.subject + "|" + logged.operation + "|" +
                        (logged.success ? "1" : "0"));
    }
    for (const LocalMailRecord& saved : local_mail.records())
      records.push_back(saved.sender + "|" + std::filesystem::path(saved.path).filename().string() + "|" +
                        read_file(saved.path).value_or("?"));
    // Each mailbox lists its mails in an order of its own.
    std::sort(records.begin(), records.end());
    return records;
  }
  // The stored password is wrong; the password dialog gives `right`.
  void store_wrong_password(const std::string& login, const std::string& right) {
    MailboxRecord r = account->record();
    r.password = "wrong";
    account->set_record(r);
    host.logins.push_back(LoginData{login, right});
  }
  size_t prompts() const { return host.login_requests.size(); }
  std::string stored_password() const { return account->record().password; }
  TempDir backups;
};

// A first check that only backs mails up: per mail its log record's sender,
// its local-mail record's sender and its backup's bytes, in record order,
// and the number of identifiers seen.
struct RealServerBackups : CheckRunFixture {
  void TestBody() override {}
  std::vector<std::array<std::string, 3>> check(const std::string& server, size_t texts_in_memory, size_t& seen) {
    MailboxRecord r = account->record();
    r.pop_server = server;
    account->set_record(r);
    add_rule(kFetchWhole, bit(ActionKind::backup)).backup_dir = backups.path().string();
    CheckRun real{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host, {}, {}, texts_in_memory}};
    EXPECT_TRUE(real.run(nullptr, settings()).ok());
    const std::vector<LogRecord> logged = log_records();
    const std::vector<LocalMailRecord> saved = local_mail.records();
    EXPECT_EQ(logged.size(), saved.size());
    std::vector<std::array<std::string, 3>> out;
    for (size_t i = 0; i < std::min(logged.size(), saved.size()); ++i) {
      EXPECT_TRUE(logged[i].success) << i;
      out.push_back({logged[i].sender, saved[i].sender, read_file(saved[i].path).value_or("?")});
    }
    seen = account->seen().size();
    return out;
  }
  TempDir backups;
};

// Backups written ahead on a worker thread while the texts are held, and
// written in their turn once they wait in the spool file: every mail backed
// up once, byte for byte, and seen, its records in the same order.
TEST(CheckRunBackups, backupsWrittenAheadKeepTheRecordsInMailOrder) {
  DovecotServer pop;
  std::set<std::string> sent;
  for (int k = 0; k < 12; ++k) {
    const std::string mail = small_mail(k) + std::string(size_t(k) * 500, 'x') + "\r\n";
    pop.deliver("me", mail);
    sent.insert(mail);
  }
  ASSERT_TRUE(pop.start({{"me", "pop-secret"}})) << pop.error();
  for (size_t texts_in_memory : {size_t{64} << 20, size_t{8000}}) {
    size_t seen = 0;
    const auto records = RealServerBackups().check(pop.server_field(), texts_in_memory, seen);
    ASSERT_EQ(records.size(), sent.size()) << texts_in_memory;
    std::set<std::string> backed_up;
    for (const auto& [logged_sender, saved_sender, bytes] : records) {
      EXPECT_EQ(logged_sender, saved_sender);
      backed_up.insert(bytes);
    }
    EXPECT_EQ(backed_up, sent) << texts_in_memory;
    EXPECT_EQ(seen, sent.size()) << texts_in_memory;
  }
}

// Backing every mail up and deleting it, with and without pipelining: the
// same log and local-mail records, both mailboxes emptied; with pipelining
// USER, PASS, UIDL and LIST, and every DELE with the QUIT go out before
// the first of their answers, and without it one at a time.
TEST(CheckRunPipelining, pipelinedLogInListingAndDeletionGiveTheRecordsOfTheSequentialOnes) {
  DovecotServer pop;
  for (const char* user : {"p", "s"})
    for (int k = 0; k < 12; ++k) pop.deliver(user, small_mail(k));
  ASSERT_TRUE(pop.start({{"p", "pop-secret"}, {"s", "pop-secret"}})) << pop.error();
  std::map<bool, std::vector<std::string>> records;
  for (bool pipelined : {true, false}) {
    SCOPED_TRACE(pipelined);
    const std::string login = pipelined ? "p" : "s";
    std::vector<std::string> trace;
    records[pipelined] = RealServerDeletion().check(pop.server_field(), login, pipelined, trace);
    EXPECT_EQ(pop.message_count(login), 0u);
    // What follows each command that pipelining sends ahead.
    for (const char* command : {"C: USER", "C: PASS", "C: UIDL", "C: DELE 12"}) {
      const auto at =
          std::find_if(trace.begin(), trace.end(), [&](const std::string& l) { return l.starts_with(command); });
      ASSERT_TRUE(at != trace.end() && at + 1 != trace.end()) << command;
      EXPECT_EQ(at[1].starts_with("C: "), pipelined) << command << " then " << at[1];
    }
  }
  EXPECT_EQ(records[true].size(), 24u + 12u);
  EXPECT_EQ(records[true], records[false]);
}

// The listings sent with a refused password are answered with refusals,
// read and dropped; the corrected sign-in then lists and fetches as usual.
TEST(CheckRunPipelining, listingsSentWithARefusedPasswordAreDroppedBeforeTheCorrection) {
  DovecotServer pop;
  for (int k = 0; k < 3; ++k) pop.deliver("p", small_mail(k));
  ASSERT_TRUE(pop.start({{"p", "pop-secret"}})) << pop.error();
  RealServerDeletion fixture;
  fixture.store_wrong_password("p", "pop-secret");
  std::vector<std::string> trace;
  const std::vector<std::string> records = fixture.check(pop.server_field(), "p", true, trace);
  const auto pass = std::find_if(trace.begin(), trace.end(), [](const std::string& l) { return l.starts_with("C: PASS"); });
  ASSERT_TRUE(pass != trace.end() && pass + 1 != trace.end());
  EXPECT_TRUE(pass[1].starts_with("C: UIDL")) << pass[1];
  EXPECT_EQ(records.size(), 3u + 3u + 3u);
  EXPECT_EQ(pop.message_count("p"), 0u);
  EXPECT_EQ(fixture.prompts(), 1u);
  EXPECT_EQ(fixture.stored_password(), "pop-secret");
}

}  // namespace
}  // namespace pw::test
