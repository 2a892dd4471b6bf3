#include "engine/remote_session.h"

#include "engine/check_run.h"
#include "engine/deletion_phase.h"
#include "engine/engine_host.h"
#include "engine/mail_sender.h"
#include "engine/pending_deletion.h"
#include "net/pop3_session.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"
#include "stores/operation_log.h"

namespace pw {
namespace {

constexpr uint32_t kHeaderBlock = 2048;
constexpr uint32_t kWholeBlock = 20480;

}  // namespace

RemoteSession::RemoteSession(MailboxAccount& account, RemoteSessionServices services)
    : account_(account), s_(std::move(services)) {}

Pop3Options RemoteSession::pop3_options() const {
  Pop3Options options = s_.pop3;
  options.login_prompt = pop3_login_prompt(s_.host);
  return options;
}

void RemoteSession::list(Mode mode, const std::function<void(std::unique_ptr<MailProcessor>)>& take,
                         const StopSignal& stop) {
  const StopScope stoppable(stop);
  Pop3Connection pop = open_pop3(Pop3Account::of(account_.record()), pop3_options());
  const bool counted = pop.ok() && pop->uidl_all() == Pop3Session::kSuccess;
  int made = 0;
  int skipped = 0;
  for (int i = 1; counted && i <= pop->message_count() && !stop.raised(); ++i) {
    const std::string_view uid = pop->unique_id(i);
    if (mode == Mode::new_mails) {
      const std::lock_guard lock(account_.seen_mutex());
      if (account_.seen().contains(uid)) {
        ++skipped;
        continue;
      }
    }
    const int n = pop->message_number(i);
    pop->set_chunk_size(kHeaderBlock);
    int r = pop->top(n, 0);
    while (r == Pop3Session::kMore && !stop.raised()) r = pop->receive_more();
    if (r == Pop3Session::kMore) break;  // stopped inside the answer
    if (r != Pop3Session::kComplete) continue;
    MailSummary mail;
    mail.mail_text = pop->take_data_text();
    mail.full_text = top_holds_body(mail.mail_text);
    if (pop->list_one(n) == Pop3Session::kSuccess) mail.size = pop->size(0);
    mail.uid = uid;
    auto processor = std::make_unique<MailProcessor>(std::move(mail), account_);
    // The row's texts are worked out here, off the UI thread.
    (void)processor->sender();
    (void)processor->recipient();
    (void)processor->subject();
    (void)processor->date();
    take(std::move(processor));
    ++made;
  }
  if (pop.ok()) (void)pop->quit();
  keep_login_correction(*pop, account_);
  (void)keep_tls_seen(pop, account_);
  if (!stop.raised() && !(counted && made == pop->message_count() - skipped))
    s_.host.notice(res::text(sid::kErrorTitle), res::text(sid::kListingError));
}

void RemoteSession::fetch_whole(const std::vector<MailProcessor*>& mails, const StopSignal& stop) {
  const StopScope stoppable(stop);
  Pop3Connection pop = open_pop3(Pop3Account::of(account_.record()), pop3_options());
  bool whole = pop.ok() && pop->uidl_all() == Pop3Session::kSuccess;
  pop->set_chunk_size(kWholeBlock);
  for (MailProcessor* mail : mails) {
    if (!whole || stop.raised()) break;
    const int n = pop->find_message(mail->summary().uid);
    if (n == 0) continue;
    int r = pop->retr(n);
    while (r == Pop3Session::kMore && !stop.raised()) r = pop->receive_more();
    if (r == Pop3Session::kComplete) mail->set_whole_mail(pop->take_data_text());
    whole = r != Pop3Session::kMore;  // a transfer broken off ends the session
  }
  if (pop.ok() && whole) (void)pop->quit();
  keep_login_correction(*pop, account_);
  (void)keep_tls_seen(pop, account_);
}

void RemoteSession::carry_out(const Rows& rows, const StopSignal& stop) {
  {
    const std::lock_guard lock(account_.seen_mutex());
    for (const auto& row : rows) {
      if (!row->has_extra_operations()) continue;
      // The automatic check is not to act on this mail again, also after a crash.
      (void)account_.seen().add(row->summary().uid, true);
      (void)account_.seen().append_seen(row->summary().uid);
    }
  }
  std::vector<MailProcessor*> to_fetch;
  for (const auto& row : rows)
    if (row->needs_download_for_extra()) to_fetch.push_back(row.get());
  if (!to_fetch.empty() && !stop.raised()) fetch_whole(to_fetch, stop);

  MailSender sender(s_.smtp);
  PendingDeletionQueue queue;
  const ActionServices services{s_.host, s_.log, s_.local_mail, sender, s_.clock, queue};
  for (const auto& row : rows) {
    if (stop.raised()) break;
    row->run_actions(services);
  }

  std::vector<PendingDeletion> deletions = queue.take_all();
  bool step_ok = false;
  if (!deletions.empty() && !stop.raised()) {
    // A deletion phase broken off by the stop is not confirmed: the server
    // keeps the mails and the log says they were not deleted.
    const StopScope stoppable(stop);
    step_ok = commit_deletions(account_, deletions, pop3_options()).confirmed;
  }
  for (const PendingDeletion& d : deletions)
    (void)s_.log.write(account_.address(), d.sender, d.recipient, d.subject, d.description, step_ok && d.deleted);
}

bool RemoteSession::processed(const std::string& uid) const {
  const std::lock_guard lock(account_.seen_mutex());
  return account_.seen().contains(uid);
}

void RemoteSession::set_processed(const std::vector<std::string>& uids, bool on) {
  const std::lock_guard lock(account_.seen_mutex());
  for (const std::string& uid : uids) {
    if (on)
      (void)account_.seen().add(uid);
    else
      (void)account_.seen().remove(uid);
  }
}

}  // namespace pw
