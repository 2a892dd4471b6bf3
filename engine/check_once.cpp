#include "engine/check_once.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

#include "base/local_time.h"
#include "engine/check_run.h"
#include "engine/dial_up.h"
#include "engine/headless_host.h"
#include "res/string_table.h"
#include "rules/rule_store.h"
#include "rules/smtp_sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"

namespace pw {
namespace {

// Held for the whole check, so two checks started by timers that overlap
// never work on the same stores at once.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::filesystem::path& file)
      : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  }
  ~DirectoryLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

// Rule use counts follow the bindings as the accounts load.
class UseCounter final : public RuleUseCounter {
 public:
  explicit UseCounter(RuleStore& rules) : rules_(rules) {}
  void rule_bound(uint32_t id) override { (void)rules_.change_use_count(static_cast<int32_t>(id), 1); }
  void rule_unbound(uint32_t id) override { (void)rules_.change_use_count(static_cast<int32_t>(id), -1); }

 private:
  RuleStore& rules_;
};

void say(std::FILE* out, const char* text) {
  if (out) std::fprintf(out, "%s\n", text);
}

}  // namespace

bool wants_check_once(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--check-once") == 0) return true;
  return false;
}

int run_check_once(const ProgramDir& dir, const CheckOnceOptions& options) {
  if (!dir.create_directories()) {
    say(options.out, "pelliwick: 无法建立数据目录");
    return 1;
  }
  DirectoryLock lock(dir.file("CheckOnce.lock"));
  if (!lock.locked()) {
    say(options.out, "pelliwick: 这个数据目录的另一次检查正在进行");
    return 1;
  }

  SystemClock clock;
  const SystemSettings settings = SystemSettings::load(dir);
  RuleStore rules;
  (void)rules.load(dir);
  UseCounter counter(rules);
  MailboxList mailboxes(dir, &counter);
  (void)mailboxes.load([&rules](uint32_t id) { return rules.find_by_id(static_cast<int32_t>(id)) != nullptr; });
  OperationLog log(dir, clock);
  log.load_current_month();
  if (settings.option(SystemSettings::kPurgeLogs)) (void)log.purge_old_months(settings.months_to_keep);
  LocalMailIndex local_mail(dir, clock);
  local_mail.load_current_month();

  HeadlessHost host(options.out, log);
  if (options.pop3_stream) host.set_pop3_stream(options.pop3_stream);
  NoDialUp no_dial_up;
  SmtpSenderVerifier verifier;
  CheckServices services{mailboxes, log, local_mail, verifier, clock, options.dial_up ? *options.dial_up : no_dial_up,
                         host};
  services.pop3_stream = options.pop3_stream;

  RunOutcome outcome;
  {
    CheckRun run(services);
    outcome = run.run(nullptr, RunSettings::from(rules, settings));
  }
  host.finish();

  // Only the accounts change in a check (corrected log-in data, seen lists);
  // the log records are on disk already. Without accounts there is nothing
  // to write (and no "Mailbox" appears in a directory that had none).
  const bool saved = mailboxes.count() == 0 || mailboxes.save().ok;
  if (!saved) say(options.out, std::string(res::text_utf8(MailboxList::kSaveFailedText)).c_str());
  mailboxes.release();
  return outcome.ok() && host.errors() == 0 && saved ? 0 : 1;
}

}  // namespace pw
