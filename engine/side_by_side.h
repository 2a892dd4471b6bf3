#pragma once
// Checking several mailboxes at once: which mailbox a worker takes next, when
// a mailbox may ask the user, and a host that keeps the user's side in order.
//
// Each mailbox keeps its own order (scan, QUIT, match, act, deletions); only
// the network phases of different mailboxes overlap. Two mailboxes with the
// same server and login are never checked at once: the server would hold
// one mailbox lock for both. What the user must answer comes one box at a
// time, and the confirmation windows in mailbox order.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/engine_host.h"

namespace pw {

class MailboxTurns {
 public:
  // `keys`: per mailbox in check order, its server and login (case-folded).
  explicit MailboxTurns(std::vector<std::string> keys);

  // The next mailbox to check: the first in order not taken yet whose key
  // no other worker holds; waits while every such one is held. nullopt once
  // every mailbox has been taken.
  [[nodiscard]] std::optional<size_t> take();
  // The check of mailbox `k` has ended: its key is free again, and its turn
  // to ask has passed.
  void done(size_t k);

  // Waits until every mailbox before `k` has asked or passed its turn.
  void wait_to_ask(size_t k);
  // Mailbox `k` has asked (or will not ask): the next may.
  void asked(size_t k);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> keys_;
  std::vector<bool> taken_;
  std::vector<bool> asked_;
  std::multiset<std::string> held_;
  size_t next_to_ask_ = 0;
};

// The run's host while several mailboxes are checked: one report at a time,
// one box at a time. The message pane says how many mailboxes are checked
// (and which one is asking, while its window is open); the step pane and
// the progress bar follow the first mailbox in order that is being checked.
class SideBySideHost final : public EngineHost {
 public:
  explicit SideBySideHost(EngineHost& host);

  // Which mailbox the calling thread works for (its place in check order).
  static void set_current(std::optional<size_t> k);

  void report(const StatusReport& report) override;
  void notice(std::string_view title, std::string_view message) override;
  bool ask_yes_no(std::string_view message) override;
  void warning(std::string_view message) override;
  DownloadResult download_mail(const DownloadRequest& request) override;
  std::optional<LoginData> correct_login(LoginService service, const LoginData& refused,
                                         std::string_view refusal) override;
  void bring_to_front() override;
  bool confirm(std::string_view address, std::span<MailProcessor* const> mails, int countdown_seconds) override;
  void dial_up_failed(std::string_view message) override;
  void run_error(std::string_view account, std::string_view title, std::string_view message) override;

  // The mailbox `k` begins or ends its check.
  void started(size_t k);
  void ended(size_t k);

 private:
  void show_count();  // with reports_ held

  EngineHost& host_;
  std::mutex reports_;
  std::mutex boxes_;
  std::set<size_t> checking_;   // with reports_ held
  std::optional<size_t> lead_;  // the first of them; the step pane is its
};

}  // namespace pw
