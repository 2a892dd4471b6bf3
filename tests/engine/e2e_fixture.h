#pragma once
// End-to-end checks against real servers: Dovecot for POP3, aiosmtpd for the
// account's SMTP server and for a mail exchanger, dnsmasq for the MX answer.
// The data directory is written through the stores, as the program would
// have left it, and the check runs either as the built program
// (`pelliwick --check-once --data-dir DIR`) or through the engine API.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "rules/rule.h"
#include "rules/rule_store.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"
#include "support/data_builders.h"
#include "support/dns_server.h"
#include "support/dovecot_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace pw::test {

// The program under test: $PW_PROGRAM (an installed one), else the built
// program, or empty when this build has none (no UI).
inline std::filesystem::path pelliwick_program() {
  if (const char* installed = std::getenv("PW_PROGRAM")) return installed;
  const char* build = std::getenv("PW_BUILD_DIR");
  if (!build) return {};
  std::filesystem::path p = std::filesystem::path(build) / "app" / "pelliwick";
  return std::filesystem::exists(p) ? p : std::filesystem::path();
}

// A child process running the program with its standard error in a file.
class ProgramRun {
 public:
  ProgramRun(const std::filesystem::path& program, const std::vector<std::string>& args,
             const std::filesystem::path& err_file) {
    pid_ = ::fork();
    if (pid_ == 0) {
      FILE* err = std::freopen(err_file.c_str(), "a", stderr);
      (void)err;
      std::vector<char*> argv;
      std::string p = program.string();
      argv.push_back(p.data());
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(p.c_str(), argv.data());
      ::_exit(127);
    }
  }
  ~ProgramRun() {
    if (pid_ > 0) {
      kill();
      (void)wait();
    }
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // True once the program has ended (its status is then kept).
  bool ended() {
    if (pid_ <= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    status_ = status;
    pid_ = -1;
    return true;
  }
  void kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
  }
  // The exit code, or -1 when the program did not exit normally.
  int wait() {
    if (pid_ > 0) {
      int status = 0;
      ::waitpid(pid_, &status, 0);
      status_ = status;
      pid_ = -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
};

inline const std::string kFriend = "friend@example.test";

// A mail of about `size` bytes with LF line ends (as the Maildir keeps it),
// with lines that begin with a dot to exercise the byte-stuffing.
inline std::string e2e_mail(int k, size_t size = 600) {
  std::string m = "From: Sender " + std::to_string(k) + " <sender" + std::to_string(k) +
                  "@example.test>\nTo: alice@home.test\nSubject: mail number " + std::to_string(k) +
                  "\nMessage-ID: <m" + std::to_string(k) + "@example.test>\nDate: Tue, 7 Dec 2004 09:05:03 +0800\n\n";
  m += ".a line that starts with a dot\n";
  for (int line = 0; m.size() < size; ++line) m += "line " + std::to_string(line) + " of mail " + std::to_string(k) + "\n";
  return m;
}

class EndToEndFixture : public ::testing::Test {
 protected:
  static SmtpServerOptions authenticating() {
    SmtpServerOptions o;
    o.user = "me";
    o.password = "smtp-secret";
    return o;
  }

  void SetUp() override {
    ASSERT_TRUE(pop.start(pop_users)) << pop.error();
    ASSERT_TRUE(smtp.running()) << smtp.log();
    ASSERT_TRUE(program.create_directories());
  }

  // The account record of alice, sending through the SMTP server with AUTH
  // LOGIN.
  MailboxRecord alice() const {
    MailboxRecord r = account_record("alice@home.test", "secret", pop.server_field(), smtp.field());
    r.smtp_auth = 1;
    r.smtp_login_name = "me";
    r.smtp_password = "smtp-secret";
    return r;
  }

  // A rule matching every mail with the given actions.
  Rule rule(uint32_t actions, bool delete_always = true) {
    Rule r;
    r.id = next_id++;
    r.name = "rule " + std::to_string(r.id);
    r.action_mask = actions;
    r.forward.to = kFriend + ";";
    r.backup_dir = backups.path().string();
    r.delete_always = delete_always;
    r.fetch_need = compute_fetch_need(r);
    return r;
  }

  // Writes "Ruler", "Mailbox" (one account bound to `bound`, in order) and
  // "System" through the stores.
  void write_data(const MailboxRecord& account, const std::vector<Rule>& bound) {
    write_data(std::vector<MailboxRecord>{account}, bound);
  }
  // The same with several accounts, each bound to every rule of `bound`.
  void write_data(const std::vector<MailboxRecord>& accounts, const std::vector<Rule>& bound) {
    ASSERT_TRUE(write_data_dir(program, accounts, bound));
  }

  // `pelliwick --check-once --data-dir DIR`; the exit code.
  int check_once() {
    const std::filesystem::path exe = pelliwick_program();
    ProgramRun run(exe, {"--check-once", "--data-dir", dir.path().string()}, dir.path() / "stderr.txt");
    return run.wait();
  }

  std::filesystem::path uid_file() const { return program.file("MailUID") / "alice@home.test.uid"; }
  std::vector<std::string> uid_lines() const { return file_lines(uid_file()); }
  std::vector<LogRecord> log_records() const {
    OperationLog log(program, clock);
    log.load_current_month();
    return log.records();
  }
  std::vector<LocalMailRecord> local_records() const {
    LocalMailIndex index(program, clock);
    index.load_current_month();
    return index.records();
  }
  // The content of every backed-up file (not the hidden one a backup is
  // written into before it takes its name, which a kill may leave).
  std::multiset<std::string> backup_contents() const {
    std::multiset<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(backups.path()))
      if (entry.is_regular_file() && !entry.path().filename().string().starts_with("."))
        out.insert(read_file(entry.path()).value_or(""));
    return out;
  }
  std::string stderr_text() const { return read_file(dir.path() / "stderr.txt").value_or(""); }
  // Times each mail of e2e_mail() was forwarded to the SMTP server, by its
  // number.
  std::map<int, int> forwards() const {
    std::map<int, int> out;
    for (const ReceivedMail& m : smtp.mails()) {
      size_t at = m.data.find("Message-ID: <m");
      if (at != std::string::npos) ++out[std::stoi(m.data.substr(at + 14))];
    }
    return out;
  }

  // The POP3 users SetUp starts the server with; a test's constructor may
  // add more.
  std::vector<DovecotServer::User> pop_users{{"alice", "secret"}};
  DovecotServer pop;
  SmtpServer smtp{authenticating()};
  TempDir dir;
  TempDir backups;
  ProgramDir program{dir.path()};
  SystemClock clock;
  int32_t next_id = 1;
};

// The fixture of the tests that run the pelliwick program: skipped in a build
// without it.
class ProgramEndToEnd : public EndToEndFixture {
 protected:
  void SetUp() override {
    if (pelliwick_program().empty()) GTEST_SKIP() << "this build has no pelliwick program";
    EndToEndFixture::SetUp();
  }
};

}  // namespace pw::test
