#pragma once
// The check run: goes through the watched accounts (or one), finds the mails
// not seen before by their UIDL identifiers, fetches as much of each as the
// account's rules need, matches them against the rules, asks the user first
// when a rule says so, carries out the actions and deletes on the server what
// the actions queued for deletion. One run at a time, on a worker thread of
// its own (start) or on the caller's thread (run).
//
// With mailboxes_at_once above 1, a run of all accounts checks several at
// once (see side_by_side.h); each account's own steps keep their order.
//
// Shared state and who may touch it:
//  - rules and settings: the UI thread owns them; start() copies what the
//    run needs (RunSettings) on the UI thread, so the worker never reads the
//    stores the editors change.
//  - MailboxList and account records: guarded by their own mutexes.
//  - each account's SeenUidList: touched by the worker only while holding
//    the account's seen_mutex(); anyone else (remote management) takes it
//    too. The exit-time save runs when no check does (exit is refused
//    meanwhile).
//  - the new-mail lists and journals: the account's worker's alone.
//  - operation log and local-mail index: serialised inside the stores.
//
// Shared data directory: each check of an account starts from what its .uid
// file holds now, appends every identifier it adds and rewrites the file
// only to drop mails gone from the server, all under the directory's check
// lock, so a window and a headless check beside it never act twice.
//
// Crash safety: a mail's identifier reaches the seen list, in memory and
// (when a rule took the mail) flushed to its .uid file, as soon as its
// actions have run, and the deletion it queued is journalled just before
// (DeletionJournal) until the deletion phase has seen it through. A crash therefore repeats at most the
// actions of the one mail in flight and loses no deletion. A mail collected
// by a scan that failed later stays in the account's new-mail list and is
// skipped (not fetched again) by the next scan, which then acts on it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/account_check.h"
#include "net/dial_up.h"
#include "engine/engine_host.h"
#include "engine/pending_deletion.h"
#include "engine/pop3_opener.h"
#include "net/smtp_delivery.h"
#include "net/stop_signal.h"
#include "rules/rule.h"

namespace pw {

class BackupsAhead;
class Clock;
class LocalMailIndex;
class MailboxAccount;
class MailboxList;
class MailProcessor;
class OperationLog;
class Pop3Session;
class RuleStore;
class SenderVerifier;
struct SystemSettings;
struct MailSummary;

// The receive size for a whole mail of `size` bytes, so that it comes in
// about ten receives: 1024 below 10 KB, else the first of 2048, 4096, ...
// with size / chunk + 1 <= 10.
[[nodiscard]] uint32_t whole_mail_chunk_size(uint32_t size);
// The receive size while a whole mail listed as `size` bytes comes in, with
// `arrived` bytes in so far: the chunk size of the larger of the two, but no
// more than what arrived, and at least 64 KiB. The listed size is the
// server's word: a claimed 60 MB must not size the receive buffer before a
// byte came, and a mail longer than claimed still comes in receives that grow
// with it. The floor keeps the small mails of a pipelined transfer from
// costing a system call per few KB: what one receive takes beyond the mail
// waits in the session's buffer for the next one.
[[nodiscard]] uint32_t whole_mail_receive_size(uint32_t size, uint32_t arrived);
// The progress scale: the first of 1, 10, 100, ... with size / scale + 1 <=
// 100, so the bar has at most 100 steps.
[[nodiscard]] uint32_t progress_scale(uint32_t size);
// OR of the rules' fetch needs in binding order (stopping at kFetchAll or
// more); whole mail wins over header.
[[nodiscard]] uint32_t combined_fetch_need(std::span<const Rule* const> rules);
// Whether a TOP n 0 answer holds more than the header: an empty line with at
// least 20 bytes from its start on, counting the final "." line the server
// sent (the session keeps the mail without it).
[[nodiscard]] bool top_holds_body(std::string_view text);

// What the run needs of the stores the UI thread owns, copied on that thread.
struct RunSettings {
  std::vector<Rule> rules;  // every rule; the accounts' bindings name them by id
  bool auto_dial = false;
  bool hang_up = false;
  DialRequest dial;
  // How many mailboxes a run of all of them checks at once; 1 checks them
  // one after another.
  int mailboxes_at_once = 1;

  [[nodiscard]] static RunSettings from(const RuleStore& rules, const SystemSettings& settings);
};

// The stores and services of a run. All outlive the CheckRun.
struct CheckServices {
  MailboxList& mailboxes;
  OperationLog& log;
  LocalMailIndex& local_mail;
  SenderVerifier& verifier;
  const Clock& clock;
  DialUp& dial_up;
  EngineHost& host;
  // SMTP options of the actions' sending (the password prompt is the host's).
  SmtpDeliveryOptions smtp = {};
  // The connection and protocol log of every POP3 session (the password
  // prompt is the host's).
  Pop3Options pop3 = {};
  // How many bytes of fetched mail text a check keeps in memory until it
  // acts; the texts beyond wait in a spool file in the temporary directory,
  // so a first check of a large mailbox needs no more memory than a small one.
  size_t texts_in_memory = size_t{64} << 20;
  // The most new mails one check takes of an account; the rest wait for
  // the next check (a first check of 100,000 mails).
  size_t max_new_mails = 5000;
};

struct RunOutcome {
  bool ran = false;  // false when another run was going on
  bool stopped = false;  // the user stopped it
  bool dial_failed = false;
  size_t accounts_checked = 0;  // scanned (and acted on) without a scan failure
  size_t scans_failed = 0;
  size_t deletions_failed = 0;  // deletion records logged with success 0
  // Accounts stopped because their seen list or deletion journal could not
  // be written (before their first action, or after one).
  size_t stores_failed = 0;
  // Per account address, in check order: how many mails a rule (or the
  // user's one-off operations) acted on; accounts without any are left out.
  std::vector<std::pair<std::string, size_t>> acted;
  // Every account the run looked at (not those skipped: paused, without
  // rules, or in remote management), in check order.
  std::vector<AccountCheck> checks;
  // An account's stored fields changed during the run (a log-in the user
  // corrected, a POP server first seen over TLS): the window saves them.
  bool records_changed = false;
  [[nodiscard]] bool ok() const {
    return ran && !dial_failed && scans_failed == 0 && deletions_failed == 0 && stores_failed == 0;
  }
};

class CheckRun {
 public:
  explicit CheckRun(CheckServices services);
  ~CheckRun();  // waits for a running worker
  CheckRun(const CheckRun&) = delete;
  CheckRun& operator=(const CheckRun&) = delete;

  // On the UI thread: starts a worker for `account`, or for all accounts when
  // it is null, unless a run is going on or its worker has not ended. True
  // when a worker was started.
  bool start(std::shared_ptr<MailboxAccount> account, RunSettings settings);
  // The same run on the calling thread; nothing happens (an outcome that did
  // not run) when a run is going on.
  RunOutcome run(const std::shared_ptr<MailboxAccount>& account, const RunSettings& settings);
  // Waits until the worker started last has ended.
  void wait();
  // From any thread: the running check ends soon. A network wait of the scan
  // or the deletion phase ends at once; actions under way finish; accounts
  // not reached are left for the next run.
  void stop() { stop_.raise(); }

  // Set for the whole run: the UI pauses its countdown, disables the check
  // commands and refuses to exit.
  [[nodiscard]] bool check_running() const { return running_.load(); }
  // Set while a run for one account goes on.
  [[nodiscard]] bool single_check() const { return single_.load(); }
  // The outcome of the last run that ended.
  [[nodiscard]] RunOutcome last_outcome() const;

  // The mails a failed scan of `account` collected, waiting for its next
  // successful scan. Only while no run is going on.
  [[nodiscard]] size_t waiting_mails(const MailboxAccount& account) const;

 private:
  struct AccountState;

  RunOutcome perform(const std::shared_ptr<MailboxAccount>& account, const RunSettings& settings);
  void check_account(AccountState& state, const RunSettings& settings, RunOutcome& outcome);
  // Checks `order` with up to settings.mailboxes_at_once workers (this
  // thread one of them); the outcome as if one after another.
  void check_side_by_side(const std::vector<AccountState*>& order, const RunSettings& settings, RunOutcome& outcome);
  bool scan(AccountState& state, uint32_t fetch_need, std::string& reason);
  enum class Fetch { done, failed, too_large };
  Fetch fetch(Pop3Session& pop, int i, int number, uint32_t fetch_need, MailSummary& mail);
  // A mail over the per-mail limit: logged as not received, its identifier
  // kept as seen so later checks pass it by, and a notice with its size.
  // False when its identifier could not be written.
  [[nodiscard]] bool refuse_large_mail(MailboxAccount& account, const MailSummary& mail);
  // Stops the account: its seen list or journal could not be written.
  void stop_account(AccountState& state, int what, RunOutcome& outcome);
  // Matches and acts on the collected mails. After a scan that failed
  // (`complete` false) the deletions wait in the journal for the next check
  // and the seen list keeps the identifiers the listing did not reach.
  void act(AccountState& state, std::span<const Rule* const> rules, RunOutcome& outcome, bool complete);
  // The steps of act(), in order: match the collected mails, ask the user
  // first where a rule wants it (the mails left unanswered wait), run the
  // actions mail by mail, write the seen list, and see the deletions
  // through (or keep them journalled for the next check).
  struct Matched;
  struct Acted;
  Matched match_collected(AccountState& state, std::span<const Rule* const> rules);
  std::vector<bool> ask_first(AccountState& state, const Matched& matched);
  Acted run_actions(AccountState& state, const Matched& matched, const std::vector<bool>& waiting);
  std::optional<BackupsAhead> backups_ahead(AccountState& state, const Matched& matched,
                                            const std::vector<bool>& waiting);
  void record_seen(AccountState& state, const Acted& acted, bool complete);
  void settle_deletions(AccountState& state, std::vector<PendingDeletion> deletions, RunOutcome& outcome,
                        bool complete);
  // Deletes `requests` on the server and logs each; returns those to keep in
  // the journal (not seen through because the session failed). A `replay`
  // of the journal counts a mail no longer listed as deleted, and a failed
  // session gives one notice instead of one per request.
  std::vector<PendingDeletion> delete_on_server(MailboxAccount& account, std::vector<PendingDeletion> requests,
                                                RunOutcome& outcome, bool replay);
  // Takes in what the account's .uid file holds now (another process may
  // have checked meanwhile) and forgets waiting mails it has seen.
  void start_from_file(AccountState& state);
  void replay_journal(AccountState& state, RunOutcome& outcome);
  [[nodiscard]] Pop3Options pop3_options() const;
  AccountState& state_for(const std::shared_ptr<MailboxAccount>& account);

  CheckServices services_;
  // services_.host, or while mailboxes are checked side by side the host
  // that keeps their reports and boxes in order. Changed only while no
  // worker of the run is going.
  EngineHost* host_;
  std::atomic<bool> running_{false};
  std::atomic<bool> single_{false};
  StopSignal stop_;
  std::mutex acting_mutex_;  // held while one mail's actions run (see act())

  mutable std::mutex outcome_mutex_;
  RunOutcome last_outcome_;

  std::thread worker_;
  std::atomic<bool> worker_done_{true};

  // Per account, the worker's own: the mails collected and not yet acted on.
  std::map<const MailboxAccount*, std::unique_ptr<AccountState>> states_;
};

}  // namespace pw
