// `pelliwick --check-once` and the check engine against real servers: what
// the SMTP server received, the backups, what is left on the POP3 server, the
// seen-identifier file, the log and the local-mail index.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "check_run_fixture.h"
#include "e2e_fixture.h"
#include "engine/check_once.h"
#include "engine/check_run.h"
#include "engine/directory_lock.h"
#include "res/language.h"
#include "res/string_table.h"
#include "rules/rule_description.h"

namespace pw::test {
namespace {

constexpr uint32_t kForward = bit(ActionKind::forward);
constexpr uint32_t kBackup = bit(ActionKind::backup);
constexpr uint32_t kDelete = bit(ActionKind::delete_on_server);

class CheckOnceEndToEnd : public EndToEndFixture {
 protected:
  void SetUp() override {
    if (pelliwick_program().empty()) GTEST_SKIP() << "this build has no pelliwick program";
    EndToEndFixture::SetUp();
  }
};

TEST_F(CheckOnceEndToEnd, forwardsBacksUpAndDeletesEveryNewMail) {
  const Rule r = rule(kForward | kBackup | kDelete, false);
  write_data(alice(), {r});
  std::multiset<std::string> delivered;
  for (int k = 1; k <= 3; ++k) {
    pop.deliver("alice", e2e_mail(k));
    delivered.insert(DovecotServer::wire_form(e2e_mail(k)));
  }

  ASSERT_EQ(check_once(), 0) << stderr_text();

  ASSERT_TRUE(smtp.wait_for_mails(3));
  std::vector<ReceivedMail> sent = smtp.mails();
  ASSERT_EQ(sent.size(), 3u);
  std::multiset<std::string> forwarded;
  for (const ReceivedMail& m : sent) {
    EXPECT_EQ(m.mail_from, "alice@home.test");
    EXPECT_EQ(m.recipients, std::vector<std::string>{kFriend});
    forwarded.insert(m.data);
  }
  EXPECT_EQ(forwarded, delivered);
  EXPECT_EQ(backup_contents(), delivered);
  EXPECT_EQ(pop.message_count("alice"), 0u);
  EXPECT_EQ(uid_lines().size(), 3u);

  std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 9u);
  for (const LogRecord& rec : records) EXPECT_TRUE(rec.success) << rec.operation;
  for (size_t k = 6; k < 9; ++k) EXPECT_EQ(records[k].operation, action_piece(r, ActionKind::delete_on_server).text);
  std::vector<LocalMailRecord> local = local_records();
  ASSERT_EQ(local.size(), 3u);
  for (const LocalMailRecord& l : local) {
    EXPECT_EQ(l.account, "alice@home.test");
    EXPECT_TRUE(delivered.contains(read_file(l.path).value_or("")));
  }

  // Nothing new: nothing is sent again, and the identifiers of the mails
  // gone from the server are dropped after this complete listing.
  ASSERT_EQ(check_once(), 0) << stderr_text();
  EXPECT_EQ(smtp.mails().size(), 3u);
  EXPECT_TRUE(uid_lines().empty());
  EXPECT_EQ(log_records().size(), 9u);
}

// The window holds the lock while it checks: the timer's run leaves the
// mailbox alone and says why, without counting as a failure.
TEST_F(CheckOnceEndToEnd, skippedWhileTheDirectoryIsLocked) {
  write_data(alice(), {rule(kDelete, false)});
  pop.deliver("alice", e2e_mail(1));
  {
    DirectoryLock window(program.file(DirectoryLock::kCheckLockName));
    ASSERT_TRUE(window.locked());
    EXPECT_EQ(check_once(), 0);
    // Said in the language the program takes from the locale it inherits.
    const std::string_view skipped = res::text_utf8(sid::kCheckSkipped, res::language_from_environment());
    EXPECT_NE(stderr_text().find(skipped), std::string::npos) << stderr_text();
    EXPECT_EQ(pop.message_count("alice"), 1u);
  }
  EXPECT_EQ(check_once(), 0) << stderr_text();
  EXPECT_EQ(pop.message_count("alice"), 0u);
}

// A trace for a bug report holds both conversations but no password, plain
// or in the Base64 of AUTH LOGIN.
TEST_F(CheckOnceEndToEnd, traceWritesBothConversationsWithoutPasswords) {
  write_data(alice(), {rule(kForward, false)});
  pop.deliver("alice", e2e_mail(1));
  const std::filesystem::path trace = dir / "trace.txt";
  ProgramRun run(pelliwick_program(), {"--check-once", "--data-dir", dir.path().string(), "--trace", trace.string()},
                 dir / "stderr.txt");
  ASSERT_EQ(run.wait(), 0) << stderr_text();
  const std::string text = read_file(trace).value_or("");
  for (const char* line : {" POP3 C: USER alice", " POP3 C: PASS ", " POP3 C: QUIT", " SMTP C: AUTH LOGIN",
                           " SMTP C: MAIL FROM:"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  for (const char* secret : {"secret", "c2VjcmV0", "c210cC1zZWNyZXQ="})
    EXPECT_EQ(text.find(secret), std::string::npos) << secret << "\n" << text;
}

TEST_F(CheckOnceEndToEnd, failedForwardDeletesOnlyWhenThePolicySaysInAnyCase) {
  for (bool always : {false, true}) {
    SCOPED_TRACE(always ? "delete in any case" : "delete when the others succeeded");
    TempDir data;
    program = ProgramDir(data.path());
    ASSERT_TRUE(program.create_directories());
    MailboxRecord account = alice();
    account.smtp_server = "127.0.0.1:1";  // nothing listens; the direct route finds no exchanger either
    write_data(account, {rule(kForward | kDelete, always)});
    pop.deliver("alice", e2e_mail(always ? 2 : 1));
    const size_t before = pop.message_count("alice");

    const std::filesystem::path exe = pelliwick_program();
    ProgramRun run(exe, {"--check-once", "--data-dir", data.path().string()}, data.path() / "stderr.txt");
    EXPECT_EQ(run.wait(), 1);

    // The first pass leaves its mail on the server, so the second (a fresh
    // data directory) sees two.
    std::vector<LogRecord> records = log_records();
    ASSERT_EQ(records.size(), always ? 2 * before : before);
    for (size_t k = 0; k < before; ++k) EXPECT_FALSE(records[k].success);
    for (size_t k = before; k < records.size(); ++k) EXPECT_TRUE(records[k].success);
    EXPECT_EQ(pop.message_count("alice"), always ? 0u : before);
    program = ProgramDir(dir.path());
  }
}

TEST_F(CheckOnceEndToEnd, emptyMailboxDropsTheStoredIdentifiers) {
  write_data(alice(), {rule(kBackup)});
  ASSERT_TRUE(write_file_atomic(uid_file(), "GONE1\r\nGONE2\r\n"));

  ASSERT_EQ(check_once(), 0) << stderr_text();

  EXPECT_EQ(read_file(uid_file()), std::string());
  EXPECT_TRUE(log_records().empty());
}

TEST_F(CheckOnceEndToEnd, twoMatchingRulesThatBothDeleteDeleteEachMailOnce) {
  const Rule first = rule(kDelete);
  const Rule second = rule(kDelete);
  write_data(alice(), {first, second});
  pop.deliver("alice", e2e_mail(1));
  pop.deliver("alice", e2e_mail(2));

  ASSERT_EQ(check_once(), 0) << stderr_text();

  EXPECT_EQ(pop.message_count("alice"), 0u);
  std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  for (const LogRecord& rec : records) {
    EXPECT_TRUE(rec.success);
    EXPECT_EQ(rec.operation, action_piece(first, ActionKind::delete_on_server).text);
  }
  // Delete-only rules need nothing of the mail, so none of it was fetched.
  EXPECT_EQ(records[0].subject, "");
}

TEST_F(CheckOnceEndToEnd, forwardsThroughAServerWithoutAuthentication) {
  SmtpServer plain;
  ASSERT_TRUE(plain.running()) << plain.log();
  MailboxRecord account = alice();
  account.smtp_server = plain.field();
  account.smtp_auth = 0;
  write_data(account, {rule(kForward)});
  pop.deliver("alice", e2e_mail(7, 5000));

  ASSERT_EQ(check_once(), 0) << stderr_text();

  ASSERT_TRUE(plain.wait_for_mails(1));
  EXPECT_EQ(plain.mails()[0].data, DovecotServer::wire_form(e2e_mail(7, 5000)));
  EXPECT_TRUE(smtp.mails().empty());
  EXPECT_EQ(pop.message_count("alice"), 1u);  // no delete action
}

// The account's server was reached and refused the log-in: the mail does not
// go to the recipient's exchanger instead, and the log says why.
TEST_F(CheckOnceEndToEnd, refusedSmtpLogInDoesNotFallBackToTheRecipientsExchanger) {
  DnsServer dns({{"example.test", "mx1.example.test", 10}}, {{"mx1.example.test", "127.0.0.2"}});
  ASSERT_TRUE(dns.running()) << dns.log();
  SmtpServerOptions exchanger;
  exchanger.address = "127.0.0.2";
  exchanger.port = 25;
  SmtpServer mx(exchanger);
  ASSERT_TRUE(mx.running()) << mx.log();
  MailboxRecord account = alice();
  account.smtp_password = "wrong";  // nobody corrects it in a headless check
  write_data(account, {rule(kForward | kDelete, false)});
  pop.deliver("alice", e2e_mail(3));

  EXPECT_EQ(check_once(), 1) << stderr_text();

  EXPECT_TRUE(mx.mails().empty());
  EXPECT_TRUE(smtp.mails().empty());
  EXPECT_EQ(pop.message_count("alice"), 1u);
  const std::string not_taken = res::text(sid::kNotTakenNoDirect).substr(0, res::text(sid::kNotTakenNoDirect).find("%1"));
  std::vector<LogRecord> records = log_records();
  ASSERT_FALSE(records.empty());
  EXPECT_FALSE(records[0].success);
  EXPECT_NE(records[0].operation.find(not_taken + "535"), std::string::npos) << records[0].operation;
}

TEST_F(CheckOnceEndToEnd, wrongPopPasswordFailsTheCheckAndIsLogged) {
  MailboxRecord account = alice();
  account.password = "wrong";
  write_data(account, {rule(kBackup)});
  pop.deliver("alice", e2e_mail(1));

  EXPECT_EQ(check_once(), 1);

  std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_FALSE(records[0].success);
  EXPECT_EQ(records[0].account, "alice@home.test");
  EXPECT_TRUE(records[0].operation.starts_with("-ERR"));
  EXPECT_EQ(pop.message_count("alice"), 1u);
  EXPECT_TRUE(uid_lines().empty());
  EXPECT_TRUE(backup_contents().empty());
}

// Nobody can answer the confirmation window of a headless check. A rule
// that waits for ever leaves its mails alone and unseen, so that each check
// finds them again until a window can ask; a rule that counts down acts as
// when its countdown ends. The log says which.
TEST_F(CheckOnceEndToEnd, unansweredRuleWithoutCountdownLeavesItsMailUnseenAndUntouched) {
  Rule r = rule(0x01 | kForward | kDelete);
  r.confirm_seconds = 0;
  write_data(alice(), {r});
  pop.deliver("alice", e2e_mail(1));

  for (size_t run = 1; run <= 2; ++run) {
    ASSERT_EQ(check_once(), 0) << stderr_text();
    EXPECT_EQ(pop.message_count("alice"), 1u);
    EXPECT_TRUE(uid_lines().empty());
    const std::vector<LogRecord> records = log_records();
    ASSERT_EQ(records.size(), run);
    EXPECT_EQ(records.back().operation, res::text(sid::kUnansweredWaits));
    EXPECT_FALSE(records.back().success);
  }
  EXPECT_TRUE(smtp.mails().empty());
}

TEST_F(CheckOnceEndToEnd, unansweredRuleWithCountdownActsAndSaysSo) {
  Rule r = rule(0x01 | kForward | kDelete);
  r.confirm_seconds = 5;
  write_data(alice(), {r});
  pop.deliver("alice", e2e_mail(1));

  ASSERT_EQ(check_once(), 0) << stderr_text();

  ASSERT_TRUE(smtp.wait_for_mails(1));
  EXPECT_EQ(pop.message_count("alice"), 0u);
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 3u);  // the unanswered window, the forward, the deletion
  EXPECT_EQ(records[0].operation, res::text(sid::kUnansweredExecuted));
  EXPECT_TRUE(records[0].success);
}

// The engine driven directly, with a host that corrects the password.
class CheckEngineEndToEnd : public EndToEndFixture {};

TEST_F(CheckEngineEndToEnd, wrongPasswordCorrectedByTheHostIsKeptInTheAccount) {
  MailboxRecord account_record = alice();
  account_record.password = "wrong";
  const Rule r = rule(kBackup | kDelete);
  write_data(account_record, {r});
  pop.deliver("alice", e2e_mail(1));

  MailboxList mailboxes(program);
  (void)mailboxes.load([](uint32_t) { return true; });
  ASSERT_EQ(mailboxes.count(), 1u);
  FixedClock fixed{1101179103};
  OperationLog log(program, fixed);
  log.load_current_month();
  LocalMailIndex local(program, fixed);
  local.load_current_month();
  ScriptedEngineHost host;
  host.logins.push_back(LoginData{"alice", "secret"});  // scan
  NoVerifier verifier;
  NoDialUp no_dial_up;
  CheckRun run(CheckServices{mailboxes, log, local, verifier, fixed, no_dial_up, host});
  RunSettings settings;
  settings.rules = {r};

  RunOutcome outcome = run.run(nullptr, settings);

  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(host.login_requests.size(), 1u);  // the deletion session uses the corrected password
  EXPECT_EQ(mailboxes.at(0)->record().password, "secret");
  EXPECT_EQ(pop.message_count("alice"), 0u);
  EXPECT_EQ(backup_contents().size(), 1u);
  ASSERT_TRUE(mailboxes.save().ok);
  MailboxList reread(program);
  (void)reread.load([](uint32_t) { return true; });
  EXPECT_EQ(reread.at(0)->record().password, "secret");
  EXPECT_EQ(reread.at(0)->seen().size(), 1u);
}

// With no text kept in memory every mail waits in the spool file between
// the scan and its actions: the body is matched on the text read back, and
// the backups hold exactly what the server sent.
TEST_F(CheckEngineEndToEnd, spooledMailsAreMatchedAndBackedUpByteForByte) {
  Rule r = rule(kBackup);
  r.condition_mask = r.sense_mask = bit(ConditionKind::body_words);
  r.all_words_mask = 0;  // any of the words
  r.word_lists[5] = "of mail 2;of mail 4;";
  r.fetch_need = compute_fetch_need(r);
  write_data(alice(), {r});
  std::multiset<std::string> sent;
  for (int k = 1; k <= 4; ++k) {
    const std::string mail = e2e_mail(k, 3000 * size_t(k));
    pop.deliver("alice", mail);
    std::string crlf;
    for (char c : mail) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    if (k % 2 == 0) sent.insert(crlf);
  }
  MailboxList mailboxes(program);
  (void)mailboxes.load([](uint32_t) { return true; });
  FixedClock fixed{1101179103};
  OperationLog log(program, fixed);
  LocalMailIndex local(program, fixed);
  ScriptedEngineHost host;
  NoVerifier verifier;
  NoDialUp no_dial_up;
  CheckRun run(CheckServices{mailboxes, log, local, verifier, fixed, no_dial_up, host, {}, {}, 0});
  RunSettings settings;
  settings.rules = {r};

  EXPECT_TRUE(run.run(nullptr, settings).ok());
  EXPECT_EQ(backup_contents(), sent);
  EXPECT_EQ(mailboxes.at(0)->seen().size(), 4u);
}

}  // namespace
}  // namespace pw::test

namespace pw::test {
namespace {

// run_check_once in this process, its POP3 server scripted: a server that
// fails RETR for message 3 of 5. The two mails that came in before the
// failure are acted on in that run; the next run takes the other three, so
// nothing is lost or done twice.
TEST(CheckOnceScripted, failedRetrOfThirdOfFiveLosesNoMailAcrossRuns) {
  TempDir dir;
  TempDir backups;
  ProgramDir program(dir.path());
  ASSERT_TRUE(program.create_directories());
  Rule r;
  r.id = 1;
  r.name = "backup";
  r.action_mask = 0x08;
  r.backup_dir = backups.path().string();
  r.fetch_need = compute_fetch_need(r);
  ASSERT_TRUE(write_data_dir(program, {account_record("me@home.test", "pop-secret", "pop.home.test")}, {r}));
  const std::vector<std::string> uids = {"u1", "u2", "u3", "u4", "u5"};
  std::vector<std::unique_ptr<ScriptedPeer>> peers;
  std::vector<size_t> sizes;
  CheckOnceOptions options;
  options.out = nullptr;
  options.pop3_stream = [&] { return std::make_unique<PeerStream>(*peers.back(), sizes); };

  peers.push_back(std::make_unique<ScriptedPeer>());
  ScriptedPeer& first = *peers.back();
  pop_login(first);
  pop_uidl(first, uids);
  std::vector<std::pair<int, size_t>> sizes_listed;
  for (int n = 1; n <= 5; ++n) sizes_listed.emplace_back(n, small_mail(n).size());
  pop_list_all(first, sizes_listed);
  pop_capa(first, {});
  for (int n = 1; n <= 2; ++n) pop_retr(first, n, small_mail(n));
  first.client("RETR 3\r\n").server("-ERR no such message\r\n");
  pop_quit(first);
  EXPECT_EQ(run_check_once(program, options), 1);
  EXPECT_TRUE(first.done());
  EXPECT_EQ(read_file(program.file("MailUID") / "me@home.test.uid").value_or(""), "u1\r\nu2\r\n");

  peers.push_back(std::make_unique<ScriptedPeer>());
  ScriptedPeer& second = *peers.back();
  pop_login(second);
  pop_uidl(second, uids);
  pop_list_all(second, sizes_listed);
  pop_capa(second, {});
  for (int n = 3; n <= 5; ++n) pop_retr(second, n, small_mail(n));
  pop_quit(second);
  EXPECT_EQ(run_check_once(program, options), 0);
  EXPECT_TRUE(second.done());
  EXPECT_EQ(read_file(program.file("MailUID") / "me@home.test.uid"), std::string("u1\r\nu2\r\nu3\r\nu4\r\nu5\r\n"));
  size_t backed_up = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(backups.path())) backed_up += e.is_regular_file();
  EXPECT_EQ(backed_up, 5u);
}

}  // namespace
}  // namespace pw::test
