#include "engine/check_once.h"

#include "base/code_page.h"
#include "base/local_time.h"
#include "engine/check_run.h"
#include "net/network_manager_dial_up.h"
#include "engine/directory_lock.h"
#include "engine/headless_host.h"
#include "engine/oauth_access.h"
#include "res/language.h"
#include "res/string_table.h"
#include "rules/rule_store.h"
#include "rules/rule_store_use_counter.h"
#include "net/smtp_sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"

namespace pw {
namespace {

void say(std::FILE* out, const char* text) {
  if (out) std::fprintf(out, "%s\n", text);
}

}  // namespace

int run_check_once(const ProgramDir& dir, const CheckOnceOptions& options) {
  if (!dir.create_directories()) {
    say(options.out, std::string(res::text_utf8(sid::kNoDataDirectory)).c_str());
    return 1;
  }
  DirectoryLock lock(dir.file(DirectoryLock::kCheckLockName));
  if (!lock.locked()) {
    // Not a failure: the one holding the lock checks these accounts now.
    say(options.out, std::string(res::text_utf8(sid::kCheckSkipped)).c_str());
    return 0;
  }

  SystemClock clock;
  const SystemSettings settings = SystemSettings::load(dir);
  RuleStore rules;
  (void)rules.load(dir);
  RuleStoreUseCounter counter(rules);
  MailboxList mailboxes(dir, &counter);
  (void)mailboxes.load([&rules](uint32_t id) { return rules.find_by_id(static_cast<int32_t>(id)) != nullptr; });
  // Records go to the month files; no month is read into memory, as no one
  // looks at it here (a month of a busy mailbox holds many thousands).
  OperationLog log(dir, clock);
  if (settings.option(SystemSettings::kPurgeLogs)) (void)log.purge_old_months(settings.months_to_keep);
  LocalMailIndex local_mail(dir, clock);

  HeadlessHost host(options.out, log);
  // Without a window the tokens are only refreshed, never signed in anew.
  auto oauth = std::make_shared<const OAuthAccess>(dir);
  const Pop3Options pop3{.stream = options.pop3_stream, .trace = options.pop3_trace, .oauth = oauth};
  host.set_pop3(pop3);
  NetworkManagerDialUp network_manager;
  SmtpSenderVerifier verifier;
  CheckServices services{mailboxes, log, local_mail, verifier, clock,
                         options.dial_up ? *options.dial_up : network_manager, host};
  services.pop3 = pop3;
  services.smtp.trace = options.smtp_trace;
  services.smtp.bearer = [oauth](const MailboxRecord& record) { return oauth->source(record); };

  std::vector<MailboxRecord> before;
  for (const auto& account : mailboxes.accounts()) before.push_back(account->record());
  RunOutcome outcome;
  {
    CheckRun run(services);
    outcome = run.run(nullptr, RunSettings::from(rules, settings));
  }
  host.finish();
  if (options.finished) options.finished(outcome, settings);

  // The check wrote its seen lists, journals, log and local-mail records as
  // it went. Of the stores only corrected log-in data and servers first seen
  // over TLS are left to write, field by field into "Mailbox" as it is now:
  // the window beside us may have saved an edit since we read it, and our
  // start-time copy must not undo it.
  std::vector<std::shared_ptr<MailboxAccount>> corrected;
  std::vector<std::shared_ptr<MailboxAccount>> tls_seen;
  std::vector<std::shared_ptr<MailboxAccount>> accounts = mailboxes.accounts();
  for (size_t k = 0; k < accounts.size() && k < before.size(); ++k) {
    const MailboxRecord now = accounts[k]->record();
    if (now.login_name != before[k].login_name || now.password != before[k].password ||
        now.smtp_login_name != before[k].smtp_login_name || now.smtp_password != before[k].smtp_password)
      corrected.push_back(accounts[k]);
    if (now.tls_seen && !before[k].tls_seen) tls_seen.push_back(accounts[k]);
  }
  const bool saved = mailboxes.save_logins(corrected).ok;
  if (!saved) say(options.out, std::string(res::text_utf8(sid::kMailboxesFileFailed)).c_str());
  // Not a failure of the check: the next one that meets TLS marks it again.
  if (!mailboxes.save_tls_seen(tls_seen).ok) {
    say(options.out, (std::string(res::text_utf8(sid::kTlsSeenNotSaved)) + mailboxes.file().string()).c_str());
    (void)log.write("", "", "", "", res::record_text(sid::kTlsSeenNotSaved) + gb_from_path(mailboxes.file()), false);
  }
  mailboxes.release();
  return outcome.ok() && host.errors() == 0 && saved ? 0 : 1;
}

}  // namespace pw
