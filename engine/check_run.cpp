#include "engine/check_run.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <unordered_set>

#include "base/code_page.h"
#include "base/file_io.h"
#include "engine/backup_ahead.h"
#include "engine/deletion_journal.h"
#include "engine/deletion_phase.h"
#include "engine/mail_processor.h"
#include "engine/mail_spool.h"
#include "engine/mail_sender.h"
#include "engine/side_by_side.h"
#include "net/pop3_session.h"
#include "res/language.h"
#include "res/string_table.h"
#include "rules/match_phase.h"
#include "rules/match_rule.h"
#include "rules/rule_store.h"
#include "stores/ascii_case.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "stores/system_settings.h"

namespace pw {
namespace {

// The room a check's appends to the seen list and the journal need at least.
constexpr uint64_t kAppendRoom = 64 * 1024;

std::string fetching_text(int i, int what) {
  return res::text(sid::kFetchingMail) + std::to_string(i) + res::text(what);
}

// With a server that pipelines, the TOP or RETR commands of the next new
// mails go out before the current one is read, a bounded window ahead, so
// the transfers follow each other without a round trip in between. The
// replies are read in order by the same calls as without pipelining.
class MailPrefetch {
 public:
  MailPrefetch(Pop3Session& pop, uint32_t need, const std::vector<int>& news) : pop_(pop), news_(news) {
    if (news.size() < 2 || !(need & (kFetchWhole | kFetchHeader))) return;
    whole_ = (need & kFetchWhole) != 0;
    on_ = pop.capa() == Pop3Session::kSuccess && pop.has_capability("PIPELINING");
  }
  // Keeps the commands of new mails k .. k + window - 1 sent.
  void top_up(size_t k) {
    if (!on_) return;
    while (!pending_.empty() && pending_.front() < k) pending_.pop_front();
    // The session dropped replies still due (a failure, a command out of
    // turn): the rest goes one command after the other.
    if (pop_.commands_ahead() != pending_.size()) {
      on_ = false;
      return;
    }
    // Topped up half a window at a time, in one write, not a command per mail.
    if (sent_ > k + kWindow / 2) return;
    std::vector<int> numbers;
    const size_t first = pending_.size();
    for (sent_ = std::max(sent_, k); sent_ < news_.size() && sent_ < k + kWindow; ++sent_) {
      const int number = pop_.message_number(news_[sent_]);
      // A mail over the limit is passed by without being asked for.
      if (whole_ && pop_.size_of_message(number) > static_cast<std::int64_t>(pop_.limits().max_mail)) continue;
      numbers.push_back(number);
      pending_.push_back(sent_);
    }
    if (numbers.empty()) return;
    if (!(whole_ ? pop_.send_retrs_ahead(numbers) : pop_.send_tops_ahead(numbers, 0))) {
      on_ = false;  // the fetch of mail k meets the failure
      pending_.resize(first);
    }
  }

 private:
  // 128 commands are under 2 KB: the server's receive buffer takes them
  // all, so sending never waits on a server that waits on us to read.
  static constexpr size_t kWindow = 128;
  Pop3Session& pop_;
  const std::vector<int>& news_;
  std::deque<size_t> pending_;  // new mails whose command is out
  bool on_ = false;
  bool whole_ = false;
  size_t sent_ = 0;
};

// The most bytes of cached header fields one check holds (each field is
// capped, but a check may take thousands of mails).
constexpr size_t kCachedFieldsBudget = size_t{16} << 20;

// Caches the header fields of a fetched mail and, once the texts held reach
// `budget`, moves its text to the spool, to be held again only while it is
// matched and acted on. False when the spool cannot take a text beyond the
// budget, or the cached fields run past theirs: the scan stops there rather
// than hold more.
[[nodiscard]] bool spool_text(MailProcessor& mail, const std::shared_ptr<MailSpool>& spool, size_t budget,
                              size_t& in_memory, size_t& cached) {
  MailReader& reader = mail.reader();
  cached += reader.sender().size() + reader.recipient().size() + reader.copy().size() + reader.subject().size() +
            reader.date().size();
  if (cached > kCachedFieldsBudget) return false;
  const size_t size = reader.text_size();
  if (in_memory + size <= budget) {
    in_memory += size;
    return true;
  }
  const std::optional<MailSpool::Entry> entry = spool->put(reader.text());
  if (!entry) return false;
  reader.spool([spool, entry = *entry] { return spool->get(entry); });
  return true;
}

// Whether a mail's chosen actions act outside this computer: mail sent or
// a deletion asked of the server.
bool reaches_outside(const MailProcessor& mail) {
  for (size_t i = 0; i < mail.rule_count(); ++i)
    for (ActionKind kind : {ActionKind::forward, ActionKind::reply, ActionKind::delete_on_server})
      if (mail.runs(i, bit(kind))) return true;
  constexpr uint32_t kExtraOutside = ExtraOperations::kForward | ExtraOperations::kReply | ExtraOperations::kDelete;
  return (mail.extra().operations & kExtraOutside) != 0;
}

// Nobody could answer the confirmation window. A mail whose asking rules all
// count down is acted on as when the countdown ends; one that a rule tells to
// wait for ever is left alone. The log says which, mail by mail. True for
// the mails left alone.
std::vector<bool> leave_unanswered(std::vector<std::unique_ptr<MailProcessor>>& mails, OperationLog& log,
                                   const std::string& address) {
  std::vector<bool> waiting(mails.size(), false);
  for (size_t k = 0; k < mails.size(); ++k) {
    MailProcessor& mail = *mails[k];
    if (!mail.needs_confirmation()) continue;
    waiting[k] = mail.waits_forever();
    (void)log.write(address, mail.sender(), mail.recipient(), mail.subject(),
                    res::record_text(waiting[k] ? sid::kUnansweredWaits : sid::kUnansweredExecuted), !waiting[k]);
  }
  return waiting;
}

}  // namespace

uint32_t whole_mail_chunk_size(uint32_t size) {
  if (size / 1024 < 10) return 1024;
  uint32_t chunk = 2048;
  // In 64 bits: size / 1 + 1 would wrap for the largest sizes.
  while (uint64_t{size} / chunk + 1 > 10) chunk *= 2;
  return chunk;
}

uint32_t whole_mail_receive_size(uint32_t size, uint32_t arrived) {
  constexpr uint32_t kLeastReceive = 65536;
  return std::max(kLeastReceive, std::min(whole_mail_chunk_size(std::max(size, arrived)), arrived));
}

uint32_t progress_scale(uint32_t size) {
  uint32_t scale = 1;
  while (uint64_t{size} / scale + 1 > 100) scale *= 10;
  return scale;
}

uint32_t combined_fetch_need(std::span<const Rule* const> rules) {
  uint32_t need = 0;
  for (const Rule* rule : rules) {
    need |= rule->fetch_need;
    if (need >= kFetchAll) {
      need = kFetchAll;
      break;
    }
  }
  if (need & kFetchWhole) need &= ~kFetchHeader;
  return need;
}

bool top_holds_body(std::string_view text) {
  constexpr size_t kFinalLine = 3;  // ".\r\n", which the session does not keep
  size_t blank = text.find("\r\n\r\n");
  if (blank == std::string_view::npos) blank = text.find("\n\n");
  return blank != std::string_view::npos && text.size() - blank + kFinalLine >= 20;
}

RunSettings RunSettings::from(const RuleStore& rules, const SystemSettings& settings) {
  RunSettings out;
  out.rules.reserve(rules.count());
  for (size_t i = 0; i < rules.count(); ++i) out.rules.push_back(*rules.at(i));
  out.auto_dial = settings.option(SystemSettings::kAutoDial);
  out.hang_up = out.auto_dial && settings.option(SystemSettings::kHangUp);
  out.dial = {settings.dial_entry, settings.phone_number, settings.dial_user, settings.dial_password};
  out.mailboxes_at_once = settings.mailboxes_at_once();
  return out;
}

struct CheckRun::AccountState {
  AccountState(std::shared_ptr<MailboxAccount> a, const std::filesystem::path& temp_dir)
      : account(std::move(a)),
        spool(std::make_shared<MailSpool>(temp_dir)),
        journal(DeletionJournal::file_for(account->seen().file())) {}

  // The user removed the account during the check: its files are gone and
  // must not come back.
  [[nodiscard]] bool removed() const { return !account->seen().has_file(); }

  std::shared_ptr<MailboxAccount> account;
  // The new-mail list, in server order, and its identifiers.
  std::vector<std::unique_ptr<MailProcessor>> mails;
  // Looked up by the listing's string_views, without a copy each.
  struct UidHash {
    using is_transparent = void;
    size_t operator()(std::string_view uid) const { return std::hash<std::string_view>{}(uid); }
  };
  std::unordered_set<std::string, UidHash, std::equal_to<>> collected;
  // The texts of those mails beyond CheckServices::texts_in_memory; each
  // is held in memory only while it is matched or acted on (or shown in
  // the confirmation window).
  std::shared_ptr<MailSpool> spool;
  size_t in_memory = 0;  // bytes of the texts kept in memory
  size_t cached = 0;     // bytes of the mails' cached header fields
  DeletionJournal journal;
  // Journalled deletions of earlier runs that the last replay could not see
  // through; they stay in the journal beside this run's.
  std::vector<PendingDeletion> journal_left;
  // Set when the journal could not be rewritten: journal_left then holds
  // what it should hold, and the next check takes it from here.
  bool journal_unwritten = false;
  // Set when the seen list or the journal refused an append in this check;
  // store_error says why when known.
  bool store_failed = false;
  std::string store_error;
  // While mailboxes are checked side by side: whose turn it is to ask, and
  // this account's place in the check order.
  MailboxTurns* turns = nullptr;
  size_t turn = 0;
};

CheckRun::CheckRun(CheckServices services) : services_(std::move(services)), host_(&services_.host) {}

CheckRun::~CheckRun() { wait(); }

bool CheckRun::start(std::shared_ptr<MailboxAccount> account, RunSettings settings) {
  if (!worker_done_.load()) return false;
  if (running_.exchange(true)) return false;
  stop_.reset();
  if (worker_.joinable()) worker_.join();
  worker_done_ = false;
  worker_ = std::thread([this, account = std::move(account), settings = std::move(settings)] {
    perform(account, settings);
    worker_done_ = true;
  });
  return true;
}

RunOutcome CheckRun::run(const std::shared_ptr<MailboxAccount>& account, const RunSettings& settings) {
  if (running_.exchange(true)) return {};
  stop_.reset();
  return perform(account, settings);
}

void CheckRun::wait() {
  if (worker_.joinable()) worker_.join();
}

RunOutcome CheckRun::last_outcome() const {
  std::lock_guard lock(outcome_mutex_);
  return last_outcome_;
}

size_t CheckRun::waiting_mails(const MailboxAccount& account) const {
  auto it = states_.find(&account);
  return it == states_.end() ? 0 : it->second->mails.size();
}

CheckRun::AccountState& CheckRun::state_for(const std::shared_ptr<MailboxAccount>& account) {
  auto& slot = states_[account.get()];
  if (!slot) slot = std::make_unique<AccountState>(account, services_.mailboxes.temp_dir());
  return *slot;
}

// Expects running_ set; clears it at the end.
RunOutcome CheckRun::perform(const std::shared_ptr<MailboxAccount>& account, const RunSettings& settings) {
  RunOutcome outcome;
  outcome.ran = true;
  EngineHost& host = *host_;
  const std::vector<std::shared_ptr<MailboxAccount>> before_run = services_.mailboxes.accounts();
  std::vector<MailboxRecord> records_before;
  for (const auto& a : before_run) records_before.push_back(a->record());
  bool online = true;
  if (settings.auto_dial) {
    DialResult dialled = services_.dial_up.dial(settings.dial);
    if (!dialled.ok()) {
      host.dial_up_failed(res::text(sid::kDialUpError) + dialled.reason);
      outcome.dial_failed = true;
      online = false;
    }
  }
  if (online) {
    if (account) {
      single_ = true;
      check_account(state_for(account), settings, outcome);
    } else {
      std::vector<std::shared_ptr<MailboxAccount>> accounts = services_.mailboxes.accounts();
      // Forget the waiting mails of accounts the user removed.
      std::erase_if(states_, [&](const auto& entry) {
        return std::none_of(accounts.begin(), accounts.end(), [&](const auto& a) { return a.get() == entry.first; });
      });
      std::vector<AccountState*> order;
      for (const auto& a : accounts) order.push_back(&state_for(a));
      if (settings.mailboxes_at_once > 1 && order.size() > 1) {
        check_side_by_side(order, settings, outcome);
      } else {
        for (AccountState* state : order)
          if (!stop_.raised()) check_account(*state, settings, outcome);
      }
    }
    host.report(StatusReport::show_text(StatusReport::kMessagePane, res::text(sid::kTitleWithVersion)));
    if (settings.hang_up) services_.dial_up.hang_up();
  }
  outcome.stopped = stop_.raised();
  for (size_t k = 0; k < before_run.size(); ++k)
    if (before_run[k]->record() != records_before[k]) outcome.records_changed = true;
  {
    std::lock_guard lock(outcome_mutex_);
    last_outcome_ = outcome;
  }
  single_ = false;
  running_ = false;
  return outcome;
}

void CheckRun::check_account(AccountState& state, const RunSettings& settings, RunOutcome& outcome) {
  MailboxAccount& account = *state.account;
  if (account.paused()) return;
  std::vector<const Rule*> rules;
  for (uint32_t id : account.bound_rules()) {
    auto it = std::find_if(settings.rules.begin(), settings.rules.end(),
                           [id](const Rule& r) { return static_cast<uint32_t>(r.id) == id; });
    if (it != settings.rules.end()) rules.push_back(&*it);
  }
  if (rules.empty()) return;

  EngineHost& host = *host_;
  if (!account.claim(MailboxAccount::Worker::check)) {
    // Remote management has the account open: its marks and deletions stay
    // its own; the mails wait for the next check.
    host.report(
        StatusReport::show_text(StatusReport::kMessagePane, res::text(sid::kSkippedInRemote) + account.address()));
    return;
  }
  struct Release {
    MailboxAccount& account;
    ~Release() { account.release(MailboxAccount::Worker::check); }
  } release{account};
  host.report(
      StatusReport::show_text(StatusReport::kMessagePane, res::text(sid::kCheckingMailbox) + account.address()));
  const uint32_t need = combined_fetch_need(rules);
  start_from_file(state);
  // A mail acted on whose identifier cannot be kept would be acted on again
  // at every check: with a seen list or journal that cannot be written
  // nothing of the account is touched.
  state.store_failed = false;
  if (!state.removed()) {
    for (const std::filesystem::path& file : {account.seen().file(), state.journal.file()}) {
      if (const int error = append_blocker(file, kAppendRoom)) {
        state.store_error = gb_from_path(file) + ": " + std::strerror(error);
        stop_account(state, sid::kStoreBlocked, outcome);
        return;
      }
    }
  }
  replay_journal(state, outcome);

  std::string reason;
  bool scanned = false;
  {
    const StopScope stoppable(stop_);
    scanned = scan(state, need, reason);
  }
  AccountCheck check{account.address(), AccountCheck::Result::ok, "", services_.clock.now()};
  if (scanned) {
    ++outcome.accounts_checked;
    act(state, rules, outcome, true);
  } else if (state.store_failed) {
    stop_account(state, sid::kStoreFailed, outcome);
    check.result = AccountCheck::Result::failed;
    check.reason = state.store_error;
  } else if (stop_.raised()) {
    check.result = AccountCheck::Result::stopped;
    check.reason = res::text(sid::kCheckStopped);
  } else {
    // The mails that came in whole before the failure are acted on now, so
    // that a check over a bad line still gets somewhere.
    if (!state.mails.empty()) act(state, rules, outcome, false);
    ++outcome.scans_failed;
    check.result = AccountCheck::Result::failed;
    check.reason = reason;
    while (!check.reason.empty() && (check.reason.back() == '\n' || check.reason.back() == '\r'))
      check.reason.pop_back();
    // A mailbox that fails leaves its trace in the log, also when nobody saw the notice.
    (void)services_.log.write(account.address(), "", "", "", check.reason, false);
    std::string message = account.address() + "\r\n" + res::text(sid::kScanError) + "\r\n\"" + reason + "\"";
    host.run_error(account.address(), res::text(sid::kErrorTitle), message);
  }
  outcome.checks.push_back(std::move(check));
  host.report(StatusReport::show_text(StatusReport::kStepPane, ""));
}

void CheckRun::check_side_by_side(const std::vector<AccountState*>& order, const RunSettings& settings,
                                  RunOutcome& outcome) {
  std::vector<std::string> keys;
  for (const AccountState* state : order) {
    const MailboxRecord record = state->account->record();
    std::string key = record.pop_server + '\n' + record.login_name;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return ascii_lower(c); });
    keys.push_back(std::move(key));
  }
  MailboxTurns turns(std::move(keys));
  SideBySideHost shared(services_.host);
  host_ = &shared;
  std::vector<RunOutcome> parts(order.size());
  auto work = [&] {
    while (std::optional<size_t> k = turns.take()) {
      AccountState& state = *order[*k];
      SideBySideHost::set_current(*k);
      shared.started(*k);
      state.turns = &turns;
      state.turn = *k;
      check_account(state, settings, parts[*k]);
      state.turns = nullptr;
      shared.ended(*k);
      turns.done(*k);
      SideBySideHost::set_current(std::nullopt);
    }
  };
  std::vector<std::thread> workers;
  const size_t count = std::min(static_cast<size_t>(settings.mailboxes_at_once), order.size());
  for (size_t w = 1; w < count; ++w) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  host_ = &services_.host;
  for (RunOutcome& part : parts) {
    outcome.accounts_checked += part.accounts_checked;
    outcome.scans_failed += part.scans_failed;
    outcome.deletions_failed += part.deletions_failed;
    for (auto& acted : part.acted) outcome.acted.push_back(std::move(acted));
  }
}

Pop3Options CheckRun::pop3_options() const {
  Pop3Options options = services_.pop3;
  options.login_prompt = pop3_login_prompt(*host_);
  return options;
}

bool CheckRun::scan(AccountState& state, uint32_t need, std::string& reason) {
  MailboxAccount& account = *state.account;
  EngineHost& host = *host_;

  // One LIST for all sizes instead of one per new mail. A server that
  // pipelines gets UIDL, and LIST with it, together with the password; for a
  // mailbox that held many mails last time, where a listing of sizes nobody
  // may need is not free, LIST goes out only once the first new mail shows
  // up in the listing.
  const bool sized = (need & (kFetchWhole | kFetchSize)) != 0;
  constexpr size_t kListAlwaysBelow = 10000;
  size_t known = 0;
  {
    std::lock_guard seen_lock(account.seen_mutex());
    known = account.seen().size();
  }
  Pop3Options options = pop3_options();
  options.uidl_with_sign_in = true;
  options.list_with_sign_in = sized && known < kListAlwaysBelow;

  host.report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kConnecting)));
  Pop3Connection pop = open_pop3(Pop3Account::of(account.record()), options);
  (void)keep_tls_seen(pop, account);
  if (!pop.ok()) {
    keep_login_correction(*pop, account);
    reason = pop.error_text();
    return false;
  }
  host.report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kLookingForNewMails)));
  std::vector<int> news;  // listing entries of the new mails
  // Each identifier is looked up as it arrives, while the rest of the listing
  // is still on its way. The seen list is held for one lookup at a time, never
  // across a receive: the window may want it meanwhile.
  size_t expected = 0;  // the seen entry after the last one found
  // A LIST that went out with the password but was dropped with a refused
  // one is sent by list_all() below.
  bool list_sent = options.list_with_sign_in && pop->pipelining();
  bool ok = pop->uidl_all([&](int i, std::string_view uid) {
    {
      std::lock_guard seen_lock(account.seen_mutex());
      if (std::optional<size_t> entry = account.seen().find(uid, expected)) {
        account.seen().mark_seen(*entry);
        expected = *entry + 1;
        return;
      }
      // Collected by an earlier, failed scan: already waiting for its actions.
      if (state.collected.contains(uid)) return;
    }
    news.push_back(i);
    if (sized && !list_sent && pop->pipelining()) list_sent = pop->send_list_ahead();
  }) == Pop3Session::kSuccess;
  if (!ok) news.clear();
  // A first check of a large mailbox takes the oldest mails in bounded
  // numbers; the rest are still new at the next check.
  if (news.size() > services_.max_new_mails) {
    (void)services_.log.write(
        account.address(), "", "", "",
        res::record_text(sid::kNewMailsLeft) + std::to_string(news.size() - services_.max_new_mails), true);
    news.resize(services_.max_new_mails);
  }
  bool spool_full = false;
  if (ok && sized && !news.empty()) ok = pop->list_all() == Pop3Session::kSuccess;
  MailPrefetch prefetch(*pop, need, news);
  for (size_t k = 0; ok && k < news.size(); ++k) {
    const int i = news[k];
    prefetch.top_up(k);
    MailSummary mail;
    mail.uid = pop->unique_id(i);
    const Fetch fetched = fetch(*pop, i, pop->message_number(i), need, mail);
    // A mail too large to take is passed by; the scan goes on unless the
    // transfer itself ran over (the rest of that mail is still on the wire)
    // or its identifier could not be kept.
    if (fetched == Fetch::too_large && !refuse_large_mail(account, mail) && !state.removed())
      state.store_failed = true;
    ok = !state.store_failed &&
         (fetched == Fetch::done || (fetched == Fetch::too_large && !pop->mail_too_large()));
    if (fetched != Fetch::done) continue;
    auto processor = std::make_unique<MailProcessor>(std::move(mail), account);
    if (!spool_text(*processor, state.spool, services_.texts_in_memory, state.in_memory, state.cached)) {
      // Neither memory nor the disk takes it: it is new again next time.
      ok = false;
      spool_full = true;
      break;
    }
    std::lock_guard seen_lock(account.seen_mutex());
    state.collected.insert(processor->summary().uid);
    state.mails.push_back(std::move(processor));
  }
  if (ok) account.set_uid_list_complete();
  host.report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kDisconnecting)));
  // The scan deletes nothing, so the answer to its QUIT changes nothing: a
  // server that pipelines is not waited for, a round trip less.
  if (!ok) reason = spool_full ? res::record_text(sid::kSpoolFull) : pop->error_text();
  if (pop->pipelining())
    pop->quit_unanswered();
  else
    (void)pop->quit();
  keep_login_correction(*pop, account);
  return ok;
}

CheckRun::Fetch CheckRun::fetch(Pop3Session& pop, int i, int number, uint32_t need, MailSummary& mail) {
  EngineHost& host = *host_;
  if (need & (kFetchWhole | kFetchSize)) {
    host.report(StatusReport::show_text(StatusReport::kStepPane, fetching_text(i, sid::kFetchingSize)));
    const std::int64_t listed = pop.size_of_message(number);
    if (listed >= 0) {
      mail.size = static_cast<uint32_t>(listed);
    } else {
      if (pop.list_one(number) != Pop3Session::kSuccess) return Fetch::failed;
      mail.size = pop.size(0);
    }
    if ((need & kFetchWhole) && mail.size > pop.limits().max_mail) return Fetch::too_large;
  }
  if (need & kFetchWhole) {
    host.report(StatusReport::show_text(StatusReport::kStepPane, fetching_text(i, sid::kFetchingMailEnd)));
    pop.set_chunk_size(whole_mail_receive_size(mail.size, 0));
    const uint32_t scale = progress_scale(mail.size);
    const int top = static_cast<int>(mail.size / scale + 1);
    host.report(StatusReport::progress_range(0, top));
    int r = pop.retr(number);
    while (r == Pop3Session::kMore) {
      pop.set_chunk_size(whole_mail_receive_size(mail.size, pop.data_length()));
      r = pop.receive_more();
      host.report(StatusReport::progress_position(std::min(top, static_cast<int>(pop.data_length() / scale))));
    }
    if (r == Pop3Session::kComplete) {
      host.report(StatusReport::progress_position(top));
      mail.mail_text = pop.take_data_text();
      mail.full_text = true;
    }
    host.report(StatusReport::hide_progress());
    if (r == Pop3Session::kComplete) return Fetch::done;
    return pop.mail_too_large() ? Fetch::too_large : Fetch::failed;
  }
  if (need & kFetchHeader) {
    host.report(StatusReport::show_text(StatusReport::kStepPane, fetching_text(i, sid::kFetchingHeader)));
    pop.set_chunk_size(Pop3Session::kDefaultChunkSize);
    int r = pop.top(number, 0);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    if (r != Pop3Session::kComplete) return pop.mail_too_large() ? Fetch::too_large : Fetch::failed;
    mail.mail_text = pop.take_data_text();
    mail.full_text = top_holds_body(mail.mail_text);
  }
  return Fetch::done;
}

bool CheckRun::refuse_large_mail(MailboxAccount& account, const MailSummary& mail) {
  const std::string size = std::to_string(mail.size);
  (void)services_.log.write(account.address(), "", "", "",
                            res::record_text(sid::kMailNotReceived) + " " + size + " " + mail.uid, false);
  {
    std::lock_guard lock(account.seen_mutex());
    account.seen().add(mail.uid, true);
  }
  const bool kept = account.seen().append_seen(mail.uid);
  host_->notice(res::text(sid::kErrorTitle), account.address() + "\r\n" + res::text(sid::kMailTooLarge) + size);
  return kept;
}

void CheckRun::stop_account(AccountState& state, int what, RunOutcome& outcome) {
  MailboxAccount& account = *state.account;
  if (state.store_error.empty()) {
    // Say what stands in the way now, if anything can tell.
    const std::filesystem::path file = account.seen().file();
    const int error = append_blocker(file, kAppendRoom);
    state.store_error = gb_from_path(file) + ": " + (error ? std::strerror(error) : std::strerror(EIO));
  }
  ++outcome.stores_failed;
  services_.host.run_error(account.address(), res::text(sid::kErrorTitle),
                           account.address() + "\r\n" + res::text(what) + "\r\n\"" + state.store_error + "\"");
  state.store_error.clear();
  services_.host.report(StatusReport::show_text(StatusReport::kStepPane, ""));
}

// What matching found for the collected mails.
struct CheckRun::Matched {
  MatchPhaseResult result;
  // A mail whose spooled text cannot be read back is neither matched nor
  // acted on nor seen: the next check fetches it again.
  std::vector<bool> unreadable;
};

// What the actions of the collected mails left to do.
struct CheckRun::Acted {
  size_t count = 0;  // mails a rule or a one-off operation acted on
  std::vector<PendingDeletion> deletions;
  std::vector<std::string> untouched;  // identifiers of mails no rule took
  bool unsynced = false;               // seen entries written but not flushed
};

void CheckRun::act(AccountState& state, std::span<const Rule* const> rules, RunOutcome& outcome, bool complete) {
  const Matched matched = match_collected(state, rules);
  const std::vector<bool> waiting = ask_first(state, matched);
  Acted acted = run_actions(state, matched, waiting);
  record_seen(state, acted, complete);
  if (acted.count > 0) outcome.acted.emplace_back(state.account->address(), acted.count);
  settle_deletions(state, std::move(acted.deletions), outcome, complete);
  state.mails.clear();
  state.collected.clear();
  state.spool->clear();
  state.in_memory = 0;
  state.cached = 0;
  if (state.store_failed) stop_account(state, sid::kStoreFailed, outcome);
}

CheckRun::Matched CheckRun::match_collected(AccountState& state, std::span<const Rule* const> rules) {
  MailboxAccount& account = *state.account;
  host_->report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kMatching)));
  Matched matched;
  matched.unreadable.assign(state.mails.size(), false);
  const MatchContext context{account.address(), services_.verifier, services_.clock};
  // Header conditions read fields the scan cached; only the body and the
  // attachments need a spooled text back.
  const bool reads_body = std::any_of(rules.begin(), rules.end(), [](const Rule* r) { return matches_on_body(*r); });
  for (size_t k = 0; k < state.mails.size(); ++k) {
    MailReader& reader = state.mails[k]->reader();
    if (reads_body && !reader.hold_text()) {
      matched.unreadable[k] = true;
      continue;
    }
    match_mail(state.mails[k]->match_item(), rules, context, matched.result);
    reader.release_text();
  }
  return matched;
}

std::vector<bool> CheckRun::ask_first(AccountState& state, const Matched& matched) {
  MailboxAccount& account = *state.account;
  EngineHost& host = *host_;
  std::vector<bool> waiting(state.mails.size(), false);
  const bool wanted = matched.result.confirmation_wanted;
  if (state.turns) {
    // The windows of mailboxes checked side by side come in mailbox order.
    if (wanted)
      state.turns->wait_to_ask(state.turn);
    else
      state.turns->asked(state.turn);
  }
  if (!wanted) return waiting;
  host.bring_to_front();
  std::vector<MailProcessor*> list;
  for (size_t k = 0; k < state.mails.size(); ++k)
    if (!matched.unreadable[k]) list.push_back(state.mails[k].get());
  if (!host.confirm(account.address(), list, matched.result.countdown))
    waiting = leave_unanswered(state.mails, services_.log, account.address());
  // The window may have read texts back to show them.
  for (auto& mail : state.mails) mail->reader().release_text();
  if (state.turns) state.turns->asked(state.turn);
  return waiting;
}

CheckRun::Acted CheckRun::run_actions(AccountState& state, const Matched& matched, const std::vector<bool>& waiting) {
  MailboxAccount& account = *state.account;
  EngineHost& host = *host_;
  host.report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kActing)));
  SmtpDeliveryOptions smtp = services_.smtp;
  smtp.login_prompt = [&host](const LoginData& refused, std::string_view refusal) {
    return host.correct_login(LoginService::smtp, refused, refusal);
  };
  MailSender sender(std::move(smtp));
  PendingDeletionQueue queued;
  std::optional<BackupsAhead> ahead = backups_ahead(state, matched, waiting);
  const ActionServices services{host,   services_.log, services_.local_mail, sender, services_.clock,
                                queued, ahead ? &*ahead : nullptr};
  Acted acted;
  // A run of mails acted on here alone (backups, key information,
  // attachments) writes its log and local-mail records under one lock of
  // each file, not one per record. A mail that may wait for the network or
  // the user lets go of them first.
  std::optional<OperationLog::Batch> log_batch;
  std::optional<LocalMailIndex::Batch> local_batch;
  for (size_t k = 0; k < state.mails.size() && !state.store_failed; ++k) {
    // A mail waiting for an answer is neither acted on nor seen: the next
    // check finds it again and asks.
    if (waiting[k] || matched.unreadable[k]) continue;
    auto& mail = state.mails[k];
    if (!mail->reader().hold_text()) continue;
    if (ahead) ahead->reach(k);
    if (reaches_outside(*mail) || !mail->summary().full_text) {
      local_batch.reset();
      log_batch.reset();
    } else if (!log_batch) {
      log_batch.emplace(services_.log);
      local_batch.emplace(services_.local_mail);
    }
    // One mail's actions at a time in the whole run, until it is recorded as
    // seen: with mailboxes checked side by side, a crash still repeats at
    // most the one mail in flight.
    std::unique_lock acting(acting_mutex_);
    mail->run_actions(services);
    if (mail->rule_count() > 0 || mail->extra().operations != 0) ++acted.count;
    // Journal the deletion before the mail counts as seen: a crash in
    // between leaves the mail new again rather than its deletion lost.
    for (PendingDeletion& d : queued.take_all()) {
      if (!state.removed() && !state.journal.append(d)) state.store_failed = true;
      acted.deletions.push_back(std::move(d));
    }
    // An append that fails stops the account at once, so at most this mail
    // is acted on again. Its deletion, not journalled, still runs below; the
    // mail stays new in case it fails.
    if (state.store_failed) break;
    const std::string& uid = mail->summary().uid;
    {
      std::lock_guard lock(account.seen_mutex());
      account.seen().add(uid, true);
    }
    // A mail no rule took had nothing done to it: should a crash forget it,
    // it is only looked at again, so it joins one unflushed write at the end
    // instead of costing a flush to disk each (the first check of a large
    // mailbox). A mail whose actions reached the outside is on disk before
    // the next one is acted on; local results (backups, key information,
    // attachments) are flushed together at the end, at worst done once more
    // after a crash.
    if (mail->rule_count() > 0 || mail->extra().operations != 0) {
      const bool outside = reaches_outside(*mail);
      if (!account.seen().append_seen(uid, outside)) state.store_failed = !state.removed();
      acted.unsynced = acted.unsynced || !outside;
    } else {
      acted.untouched.push_back(uid);
    }
    acting.unlock();
    // Done with: its memory goes now, not after the last mail.
    if (ahead) ahead->leave(k);
    mail.reset();
  }
  local_batch.reset();
  log_batch.reset();
  return acted;
}

// Mails acted on here alone whose text is in memory get their first backup
// written ahead by a worker thread. Mails that reach outside or wait for a
// download, and runs that asked first, keep their order and are not written
// ahead.
std::optional<BackupsAhead> CheckRun::backups_ahead(AccountState& state, const Matched& matched,
                                                    const std::vector<bool>& waiting) {
  constexpr size_t kAhead = 8;
  if (matched.result.confirmation_wanted) return std::nullopt;
  std::vector<SaveFolder> folders;
  std::vector<BackupsAhead::Job> jobs;
  for (size_t k = 0; k < state.mails.size(); ++k) {
    MailProcessor& mail = *state.mails[k];
    if (waiting[k] || matched.unreadable[k] || !mail.reader().text_held()) continue;
    if (!mail.summary().full_text || reaches_outside(mail)) continue;
    for (size_t i = 0; i < mail.rule_count(); ++i) {
      if (!mail.runs(i, bit(ActionKind::backup))) continue;
      const std::string& dir = mail.rule(i).backup_dir;
      std::optional<SaveFolder> folder;
      if (SaveFolder::path_refusal(dir).empty()) folder = SaveFolder::open(dir, mail.account().address(), "BackupMail");
      if (!folder) break;
      auto same = [&](const SaveFolder& f) { return f.path() == folder->path(); };
      const auto it = std::find_if(folders.begin(), folders.end(), same);
      const size_t f = static_cast<size_t>(it - folders.begin());
      if (it == folders.end()) folders.push_back(std::move(*folder));
      jobs.push_back({k, f, mail.content()});
      break;
    }
  }
  // A thread is worth it for a run of mails, not for one.
  if (jobs.size() < 2) return std::nullopt;
  return std::optional<BackupsAhead>(std::in_place, std::move(folders), std::move(jobs), kAhead);
}

void CheckRun::record_seen(AccountState& state, const Acted& acted, bool complete) {
  MailboxAccount& account = *state.account;
  std::lock_guard lock(account.seen_mutex());
  // Mails no rule took are only looked at again should these fail; the
  // account is reported all the same, as its next check would fail too.
  bool written = account.seen().append_seen(acted.untouched, false);
  if (acted.unsynced) written = account.seen().sync_file() && written;
  if (!written && !state.removed()) state.store_failed = true;
  // After a complete listing, the identifiers of mails gone from the
  // server leave the file.
  if (complete && account.seen().has_unseen()) (void)account.seen().save(true);
}

void CheckRun::settle_deletions(AccountState& state, std::vector<PendingDeletion> deletions, RunOutcome& outcome,
                                bool complete) {
  const bool journalled = !deletions.empty();
  std::vector<PendingDeletion> kept =
      complete ? delete_on_server(*state.account, std::move(deletions), outcome, false) : std::move(deletions);
  kept.insert(kept.begin(), state.journal_left.begin(), state.journal_left.end());
  if (!state.removed() && (journalled || state.journal_unwritten))
    state.journal_unwritten = !state.journal.replace(kept);
  // What the journal could not take is kept here for the next check.
  state.journal_left = state.journal_unwritten ? std::move(kept) : std::vector<PendingDeletion>();
}

void CheckRun::start_from_file(AccountState& state) {
  std::lock_guard lock(state.account->seen_mutex());
  SeenUidList& seen = state.account->seen();
  seen.refresh();
  // A mail another process took meanwhile is that process's to act on.
  std::erase_if(state.mails, [&](const std::unique_ptr<MailProcessor>& mail) {
    if (!seen.contains(mail->summary().uid)) return false;
    state.collected.erase(mail->summary().uid);
    return true;
  });
}

void CheckRun::replay_journal(AccountState& state, RunOutcome& outcome) {
  std::vector<PendingDeletion> left = state.journal.load();
  // Entries whose journal could not be written last time live on in memory.
  if (state.journal_unwritten) {
    for (PendingDeletion& d : state.journal_left) {
      if (std::none_of(left.begin(), left.end(), [&](const PendingDeletion& e) { return e.uid == d.uid; }))
        left.push_back(std::move(d));
    }
  }
  if (!left.empty()) {
    left = delete_on_server(*state.account, std::move(left), outcome, true);
    if (!state.removed()) state.journal_unwritten = !state.journal.replace(left);
  }
  state.journal_left = std::move(left);
}

std::vector<PendingDeletion> CheckRun::delete_on_server(MailboxAccount& account, std::vector<PendingDeletion> requests,
                                                        RunOutcome& outcome, bool replay) {
  EngineHost& host = *host_;
  host.report(StatusReport::show_text(StatusReport::kStepPane, res::text(sid::kDeleting)));
  if (requests.empty()) return {};

  const ServerDeletion server = commit_deletions(account, requests, pop3_options());
  const bool confirmed = server.confirmed;
  const std::vector<bool>& gone = server.gone;

  std::vector<PendingDeletion> kept;
  for (size_t k = 0; k < requests.size(); ++k) {
    PendingDeletion& d = requests[k];
    if (!confirmed && replay) {
      // Already reported when it was queued (or lost to a crash before its
      // turn): one notice for all of them below, not one box per entry.
      ++outcome.deletions_failed;
      d.deleted = false;
      kept.push_back(std::move(d));
      continue;
    }
    // A journalled deletion whose mail is no longer listed was committed by
    // an earlier QUIT whose answer was lost.
    const bool success = confirmed && (d.deleted || (replay && gone[k]));
    const LogRecord logged = services_.log.write(account.address(), d.sender, d.recipient, d.subject, d.description,
                                                 success);
    if (!success) {
      ++outcome.deletions_failed;
      host.notice(res::text(sid::kErrorTitle), OperationLog::failure_notice(logged));
    }
    // A mail no longer listed is gone; a refusal in a sound session is the
    // server's last word. Anything else is tried again at the next check.
    if (!confirmed && !gone[k]) {
      d.deleted = false;
      kept.push_back(std::move(d));
    }
  }
  if (replay && !confirmed) {
    const std::string message = account.address() + "\r\n" + std::to_string(kept.size()) +
                                res::text(sid::kDeletionsWaiting) + "\r\n\"" + server.error_text + "\"";
    host.run_error(account.address(), res::text(sid::kErrorTitle), message);
  }
  return kept;
}

}  // namespace pw
