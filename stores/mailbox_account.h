#pragma once
// One watched POP3 account: its stored record plus run-time state (paused,
// bound rule ids in binding order, the seen-mail list and whether a complete
// server listing was gone through in this run).
//
// Accounts are shared (std::shared_ptr) so that a worker still using an
// account keeps it alive after the user removed it from the MailboxList.
// The record and the bindings are guarded by the account's own mutex: the
// check worker may correct the log-in data while the UI reads it. Bindings
// and the paused flag change only through MailboxList, which keeps its
// counters in step.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "stores/mailbox_record.h"
#include "stores/seen_uid_list.h"

namespace pw {

class MailboxList;

class MailboxAccount {
 public:
  // `uid_file` is the account's .uid file; empty when its address cannot
  // name a file, and the seen list then has no file.
  MailboxAccount(MailboxRecord record, bool paused, std::filesystem::path uid_file);
  MailboxAccount(const MailboxAccount&) = delete;
  MailboxAccount& operator=(const MailboxAccount&) = delete;

  // The address never changes once the account exists: it names the .uid file.
  [[nodiscard]] const std::string& address() const { return address_; }

  [[nodiscard]] MailboxRecord record() const;
  // Replaces every stored field but the address.
  void set_record(const MailboxRecord& record);
  // Corrected log-in data from a password dialog during a check.
  void set_pop_login(const std::string& login_name, const std::string& password);
  void set_smtp_login(const std::string& login_name, const std::string& password);
  // A session with the POP server `pop_server` completed a TLS handshake:
  // marks the record (tls_seen) while that is still its POP server. True
  // when the mark is new.
  bool mark_tls_seen(std::string_view pop_server);

  [[nodiscard]] bool paused() const { return paused_.load(); }

  [[nodiscard]] std::vector<uint32_t> bound_rules() const;
  [[nodiscard]] bool is_bound(uint32_t rule_id) const;
  [[nodiscard]] size_t bound_count() const;

  [[nodiscard]] SeenUidList& seen() { return seen_; }
  [[nodiscard]] const SeenUidList& seen() const { return seen_; }
  // Held around every use of the seen list while a check or remote
  // management may work on the account from another thread.
  [[nodiscard]] std::mutex& seen_mutex() const { return seen_mutex_; }

  // Set by the check once a scan went through the whole server listing;
  // never reset while the program runs.
  [[nodiscard]] bool uid_list_complete() const { return uid_list_complete_.load(); }
  void set_uid_list_complete() { uid_list_complete_ = true; }

  // Who works on the server mailbox now. The check and remote management
  // each claim the account for as long as they use it, so neither acts on
  // (or deletes) mails the other is handling.
  enum class Worker : uint8_t { none, check, remote_management };
  // True when the account was free and is now `worker`'s.
  [[nodiscard]] bool claim(Worker worker) {
    Worker free = Worker::none;
    return worker_.compare_exchange_strong(free, worker);
  }
  void release(Worker worker) {
    Worker mine = worker;
    (void)worker_.compare_exchange_strong(mine, Worker::none);
  }
  [[nodiscard]] Worker worker() const { return worker_.load(); }

 private:
  friend class MailboxList;

  bool add_rule(uint32_t rule_id);
  bool drop_rule(uint32_t rule_id);
  std::vector<uint32_t> take_rules();

  const std::string address_;
  mutable std::mutex mutex_;
  MailboxRecord record_;  // address_ is the authoritative address
  std::vector<uint32_t> rules_;
  std::atomic<bool> paused_;
  std::atomic<bool> uid_list_complete_{false};
  std::atomic<Worker> worker_{Worker::none};
  SeenUidList seen_;
  mutable std::mutex seen_mutex_;
};

}  // namespace pw
