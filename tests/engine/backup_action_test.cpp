// Backup: .eml files named after the time and the sender, the local-mail
// index record, and names from mails that must stay inside the directory.
#include "engine/backup_action.h"

#include <chrono>
#include <deque>
#include <functional>
#include <thread>

#include "action_fixture.h"
#include "engine/backup_ahead.h"
#include "engine/save_folder.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "net/pop3_session.h"
#include "res/language.h"
#include "res/string_table.h"
#include "support/dovecot_server.h"

namespace pw::test {
namespace {

class BackupActionTest : public ActionFixture {
 protected:
  bool run(std::string_view mail, std::string dir) { return back_up(*processor(mail, true, current), std::move(dir)); }
  // The mail matched by a rule that backs it up to `dir`; whether the rule's
  // backup succeeded.
  bool back_up(MailProcessor& mail, std::string dir) {
    Rule& rule = rules.emplace_back();
    rule.action_mask = bit(ActionKind::backup);
    rule.backup_dir = std::move(dir);
    mail.add_rule(rule);
    std::vector<uint8_t> success(1, 1);
    BackupAction(mail, services).run_step(success);
    return success[0] == 1;
  }
  std::string stem() const {
    const LocalTime t = to_local(clock.now());
    char s[80];
    std::snprintf(s, sizeof s, "date(%04d-%02d-%02d) time(%02d.%02d.%02d) from(", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return s;
  }

  TempDir target;
  MailboxAccount* current = nullptr;
  std::deque<Rule> rules;  // the matched rules, alive as long as their mails
};

TEST_F(BackupActionTest, backupsAreTheMailByteForByteAndIndexed) {
  ASSERT_TRUE(run(kPlainMail, target.path().string()));
  ASSERT_TRUE(run(kPlainMail, target.path().string()));  // within the same second
  const std::string name = stem() + "alice@example.test)";
  const std::string folder = "me@home.test/BackupMail/";
  EXPECT_EQ(files_under(target.path()), (std::vector<std::string>{folder + name + "(1).eml", folder + name + ".eml"}));
  EXPECT_EQ(target.read(folder + name + ".eml"), kPlainMail);

  ASSERT_EQ(local_mail.count(), 2u);
  const LocalMailRecord r = *local_mail.at(0);
  EXPECT_EQ(r.account, "me@home.test");
  EXPECT_FALSE(r.has_attachment);
  EXPECT_EQ(r.sender, "\"Alice Liddell\" <alice@example.test>");
  EXPECT_EQ(r.subject, "Order 42");
  EXPECT_EQ(r.mail_date, "2004/12/07 09:05:03");
  EXPECT_EQ(r.size, kPlainMail.size());
  EXPECT_EQ(r.path, (target.path() / (folder + name + ".eml")).string());
  ASSERT_EQ(log_records().size(), 2u);
  EXPECT_TRUE(log_records()[0].success);
  EXPECT_EQ(log_records()[0].operation, utf8_to_gb("把邮件备份到") + target.path().string());
}

// Many mails from one sender within one second: each takes the next free
// name in order, a name taken by someone else is skipped and kept, and no
// temporary file is left behind.
TEST_F(BackupActionTest, burstFromOneSenderTakesTheNextFreeNamesInOrder) {
  const std::string folder = "me@home.test/BackupMail/";
  const std::string name = stem() + "alice@example.test)";
  std::filesystem::create_directories(target.path() / folder);
  target.write(folder + name + "(2).eml", "someone else's");
  for (int k = 0; k < 6; ++k) ASSERT_TRUE(run(kPlainMail, target.path().string()));
  std::vector<std::string> expected;
  for (const char* suffix : {"(1)", "(2)", "(3)", "(4)", "(5)", "(6)", ""}) expected.push_back(folder + name + suffix + ".eml");
  EXPECT_EQ(files_under(target.path()), expected);
  EXPECT_EQ(target.read(folder + name + "(2).eml"), "someone else's");
  EXPECT_EQ(target.read(folder + name + "(6).eml"), kPlainMail);
}

// A sender whose name is too long for the file system in UTF-8: the name is
// cut before "(1).eml", never inside a character, and the backups are the
// owner's alone.
TEST_F(BackupActionTest, longNamesAreCutBeforeTheNumberAndFilesArePrivate) {
  std::string local;
  for (int k = 0; k < 100; ++k) local += "报";
  const std::string mail = utf8_to_gb("From: " + local + "@example.test\r\nSubject: x\r\n\r\nbody\r\n");
  ASSERT_TRUE(run(mail, target.path().string()));
  ASSERT_TRUE(run(mail, target.path().string()));
  const std::filesystem::path folder = target.path() / "me@home.test" / "BackupMail";
  const std::vector<std::string> names = files_under(folder);
  ASSERT_EQ(names.size(), 2u);
  const std::string& numbered = names[0].ends_with("(1).eml") ? names[0] : names[1];
  const std::string& first = &numbered == &names[0] ? names[1] : names[0];
  EXPECT_TRUE(first.starts_with(stem() + "报报") && first.ends_with("报.eml")) << first;
  EXPECT_TRUE(numbered.starts_with(stem()) && numbered.ends_with("报(1).eml")) << numbered;
  for (const std::string& name : names) {
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_GT(name.size(), 250u) << name;  // cut, not emptied
    EXPECT_TRUE(transcode(name, "UTF-8", "UTF-16LE").has_value()) << name;
    EXPECT_EQ(read_file(folder / name).value_or(""), mail);
    EXPECT_EQ(file_mode(folder / name), 0600u) << name;
  }
  EXPECT_EQ(local_mail.count(), 2u);
}

// A mail as a real server hands it over (dot lines included) is saved as the
// server stores it.
TEST_F(BackupActionTest, mailRetrievedFromARealServerIsSavedAsStored) {
  DovecotServer pop;
  ASSERT_TRUE(pop.start({{"alice", "secret"}})) << pop.error();
  const std::string stored = "From: bob@example.test\nSubject: dots\n\n.\n..two\nend\n";
  pop.deliver("alice", stored);
  Pop3Session session;
  ASSERT_TRUE(session.log_in(pop.server_field(), "alice", "secret")) << session.error_text();
  int r = session.retr(1);
  while (r == Pop3Session::kMore) r = session.receive_more();
  ASSERT_EQ(r, Pop3Session::kComplete) << session.error_text();
  const std::string text = session.take_data_text();
  (void)session.quit();

  ASSERT_TRUE(run(text, target.path().string()));
  const std::vector<std::string> files = files_under(target.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(target.read(files[0]), DovecotServer::wire_form(stored));
}

TEST_F(BackupActionTest, namesFromMailsAndAccountsStayInsideTheDirectory) {
  MailboxAccount odd(account_on("../../x\\y"), false, {});
  current = &odd;
  ASSERT_TRUE(run("From: \"a:b\" <../..//etc/pass*wd?|;@x>\r\n\r\nbody\r\n", target.path().string()));
  const std::vector<std::string> files = files_under(target.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], "....xy/BackupMail/" + stem() + "....etcpasswd@x).eml");
}

TEST_F(BackupActionTest, missingDirectoryFailsAndIndexesNothing) {
  EXPECT_FALSE(run(kPlainMail, (target / "not-there").string()));
  EXPECT_FALSE(run(kPlainMail, ""));
  EXPECT_TRUE(files_under(target.path()).empty());
  EXPECT_EQ(local_mail.count(), 0u);
  ASSERT_EQ(log_records().size(), 2u);
  EXPECT_FALSE(log_records()[0].success);
}

// The levels below the chosen directory are made when a backup cannot be
// made in them: after the first mail, and again when they go meanwhile; a
// level that is a file stops the backup.
TEST_F(BackupActionTest, levelsGoneBetweenMailsAreMadeAgain) {
  const std::filesystem::path account = target.path() / "me@home.test";
  struct Case {
    const char* what;
    std::function<void()> between;
    bool backed_up;
  };
  const Case cases[] = {
      {"folder there", [] {}, true},
      {"folder removed", [&] { std::filesystem::remove_all(account / "BackupMail"); }, true},
      {"account level removed", [&] { std::filesystem::remove_all(account); }, true},
      {"folder is a file", [&] {
         std::filesystem::remove_all(account / "BackupMail");
         target.write("me@home.test/BackupMail", "x");
       }, false},
  };
  size_t indexed = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(run(kPlainMail, target.path().string())) << c.what;
    ++indexed;
    c.between();
    EXPECT_EQ(run(kPlainMail, target.path().string()), c.backed_up) << c.what;
    if (c.backed_up) ++indexed;
    EXPECT_EQ(local_mail.count(), indexed) << c.what;
    if (!c.backed_up) std::filesystem::remove(account / "BackupMail");
  }
}

// Open files of this process made without a name in `folder`.
size_t unnamed_files_in(const std::filesystem::path& folder) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const std::string target = std::filesystem::read_symlink(e.path(), ec).string();
    if (target.starts_with(folder.string() + "/#")) ++n;
  }
  return n;
}

// Backups written ahead by the worker are named in their own turn, in
// order. One whose folder went meanwhile, or planned for other data, is
// written again as without; a file written ahead and never taken leaves
// nothing behind.
TEST_F(BackupActionTest, backupsWrittenAheadAreNamedInTheirTurnOrWrittenAgain) {
  const std::string folder = "me@home.test/BackupMail/";
  const std::string name = stem() + "alice@example.test)";
  std::filesystem::create_directories(target.path() / folder);
  const std::string other = "Subject: other\r\n\r\nnot this mail\r\n";
  struct Case {
    const char* what;
    std::function<void()> before_turn;
    bool planned_for_other_data;
  };
  const Case cases[] = {
      {"written ahead", [] {}, false},
      {"folder removed meanwhile", [&] { std::filesystem::remove_all(target.path() / "me@home.test"); }, false},
      {"planned for other data", [] {}, true},
      {"written ahead again", [] {}, false},
  };
  std::vector<std::unique_ptr<MailProcessor>> mails;
  std::vector<BackupsAhead::Job> jobs;
  for (size_t k = 0; k < std::size(cases); ++k) {
    mails.push_back(processor(kPlainMail, true, current));
    jobs.push_back({k, 0, cases[k].planned_for_other_data ? std::string_view(other) : mails[k]->content()});
  }
  const std::optional<SaveFolder> at = SaveFolder::open(target.path().string(), "me@home.test", "BackupMail");
  ASSERT_TRUE(at);
  {
    BackupsAhead ahead({*at}, std::move(jobs), std::size(cases));
    // Until the worker has written every one (open files without a name in
    // the folder), so the turns below find them written.
    for (int wait = 0; wait < 500 && unnamed_files_in(at->path()) < std::size(cases); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(unnamed_files_in(at->path()), std::size(cases));
    services.backups_ahead = &ahead;
    for (size_t k = 0; k < std::size(cases); ++k) {
      cases[k].before_turn();
      ahead.reach(k);
      EXPECT_TRUE(back_up(*mails[k], target.path().string())) << cases[k].what;
      ahead.leave(k);
    }
    services.backups_ahead = nullptr;
  }
  // The folder removed after the first: the second gets the first name again.
  EXPECT_EQ(files_under(target.path()),
            (std::vector<std::string>{folder + name + "(1).eml", folder + name + "(2).eml", folder + name + ".eml"}));
  for (const std::string& f : files_under(target.path())) EXPECT_EQ(target.read(f), kPlainMail) << f;
  EXPECT_EQ(local_mail.count(), std::size(cases));
}

// Files written ahead for turns never reached go with the run.
TEST_F(BackupActionTest, backupsWrittenAheadButNeverTakenLeaveNothing) {
  std::filesystem::create_directories(target.path() / "me@home.test/BackupMail");
  const std::optional<SaveFolder> at = SaveFolder::open(target.path().string(), "me@home.test", "BackupMail");
  ASSERT_TRUE(at);
  const auto mail = processor(kPlainMail, true, current);
  {
    BackupsAhead ahead({*at}, {{0, 0, mail->content()}, {1, 0, mail->content()}, {5, 0, mail->content()}}, 8);
    ahead.reach(1);
    ahead.leave(0);
    EXPECT_FALSE(ahead.take(at->path(), "other data"));
  }
  EXPECT_TRUE(files_under(target.path()).empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.path() / "me@home.test/BackupMail"), {}), 0);
}

TEST_F(BackupActionTest, extraBackupIsLoggedWithItsOwnText) {
  auto p = processor();
  p->extra().operations = ExtraOperations::kBackup;
  p->extra().backup_dir = target.path().string();
  std::vector<uint8_t> none;
  BackupAction(*p, services).run_step(none);
  EXPECT_EQ(files_under(target.path()).size(), 1u);
  ASSERT_EQ(log_records().size(), 1u);
  EXPECT_EQ(log_records()[0].operation, res::text(sid::kOneOffBackup) + target.path().string());
  EXPECT_TRUE(log_records()[0].success);
}

// The log is the same file in every language: under the English texts the
// records still hold the Chinese operation and refusal.
TEST_F(BackupActionTest, recordsStayChineseUnderTheEnglishTexts) {
  res::set_language(res::Language::english);
  EXPECT_TRUE(run(kPlainMail, target.path().string()));
  EXPECT_FALSE(run(kPlainMail, "relative/dir"));
  auto p = processor();
  p->extra().operations = ExtraOperations::kBackup;
  p->extra().backup_dir = target.path().string();
  std::vector<uint8_t> none;
  BackupAction(*p, services).run_step(none);
  res::set_language(res::Language::chinese);
  ASSERT_EQ(log_records().size(), 3u);
  EXPECT_EQ(log_records()[0].operation, utf8_to_gb("把邮件备份到") + target.path().string());
  EXPECT_EQ(log_records()[1].operation, utf8_to_gb("把邮件备份到relative/dir（不是绝对路径，没有写入任何文件）"));
  EXPECT_EQ(log_records()[2].operation, utf8_to_gb("附加操作邮件备份到") + target.path().string());
}

}  // namespace
}  // namespace pw::test
