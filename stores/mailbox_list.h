#pragma once
// The ordered list of all POP3 accounts, kept in the file "Mailbox": one entry
// per account up to the end of the file, each the 584-byte record, a 32-bit
// little-endian count N and N rule ids as 8 lowercase hex digits ("%08x").
// Besides the list it keeps two counters: accounts watched (not paused) and
// (account, rule) bindings.
//
// Rules live above the stores, so bindings are rule ids. load() asks a
// `rule_exists` callback whether an id names a rule, and every bind and
// unbind is reported to a RuleUseCounter (the rule store) after the list's
// lock is released, so the counter may call back into the list.
//
// The list's own mutex guards the order and the counters; a worker takes a
// snapshot with accounts() and may keep using an account after it was
// removed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "base/program_dir.h"
#include "stores/mailbox_account.h"
#include "stores/rule_use_counter.h"
#include "stores/store_result.h"

namespace pw {

struct MailboxLoadReport {
  size_t accounts = 0;
  size_t dropped_rule_ids = 0;    // ids that name no rule (or are no hex number)
  size_t duplicate_accounts = 0;  // later entries repeating an address, skipped
  bool damaged = false;           // the file ended inside an entry
};

class MailboxList {
 public:
  explicit MailboxList(ProgramDir dir, RuleUseCounter* rules = nullptr);
  MailboxList(const MailboxList&) = delete;
  MailboxList& operator=(const MailboxList&) = delete;

  // Appends the accounts of "Mailbox" and loads their seen lists. A missing
  // file leaves the list empty. In a damaged file every complete record is
  // kept; the ids of a count running past the end are taken as far as they
  // are complete. A later entry repeating an address is skipped: two accounts
  // for one mailbox would share one .uid file and handle each mail twice.
  MailboxLoadReport load(const std::function<bool(uint32_t)>& rule_exists);

  // Writes "Mailbox" atomically (sid::kMailboxesFileFailed when it cannot be written). The
  // .uid files are not written here: each check keeps its account's file
  // current, and a save from memory could drop identifiers that a headless
  // check beside the window appended. The accounts stay in memory; callable
  // at any moment.
  [[nodiscard]] StoreResult save() const;

  // Rewrites "Mailbox" as it stands on disk now with only the log-in data
  // (POP3 and SMTP name and password) of `corrected` taken from memory: a
  // headless check keeps a correction without undoing what the window saved
  // meanwhile. An account no longer in the file stays out of it.
  [[nodiscard]] StoreResult save_logins(const std::vector<std::shared_ptr<MailboxAccount>>& corrected) const;
  // The same for the TLS-seen mark of `seen`: only that bit of byte 581 is
  // set, and only in an entry whose POP server is still the one the account
  // in memory names.
  [[nodiscard]] StoreResult save_tls_seen(const std::vector<std::shared_ptr<MailboxAccount>>& seen) const;

  // Unbinds every rule (telling the rule counter) and empties the list: the
  // end of an orderly exit, after save().
  void release();

  [[nodiscard]] size_t count() const;
  // nullptr outside 0 .. count()-1.
  [[nodiscard]] std::shared_ptr<MailboxAccount> at(size_t index) const;
  // The first account whose address equals `address` ignoring case.
  [[nodiscard]] std::shared_ptr<MailboxAccount> find(std::string_view address) const;
  [[nodiscard]] std::vector<std::shared_ptr<MailboxAccount>> accounts() const;

  // Builds an account from a record and appends it. New accounts (dialog,
  // import) start paused and with an empty seen list.
  std::shared_ptr<MailboxAccount> create(MailboxRecord record, bool paused = true);

  // Takes the account out of the list, unbinds its rules and deletes its
  // .uid file. False when it is not in the list.
  bool remove(const MailboxAccount& account);

  // Bindings. bind() does nothing when the rule is bound already. All return
  // false when the account is not in this list or nothing changed.
  bool bind(MailboxAccount& account, uint32_t rule_id);
  bool unbind(MailboxAccount& account, uint32_t rule_id);
  size_t unbind_all(MailboxAccount& account);
  // Unbinds a deleted rule from every account; afterwards every account
  // without a bound rule is paused. Returns how many accounts lost the rule.
  size_t unbind_everywhere(uint32_t rule_id);

  void pause(MailboxAccount& account);
  void resume(MailboxAccount& account);
  void pause_all();
  // Resumes the accounts that have at least one bound rule.
  void resume_all();

  [[nodiscard]] size_t watched_count() const;
  [[nodiscard]] size_t binding_count() const;

  [[nodiscard]] std::filesystem::path file() const { return dir_.file("Mailbox"); }
  [[nodiscard]] std::filesystem::path uid_dir() const { return dir_.file("MailUID"); }
  [[nodiscard]] const ProgramDir& program_dir() const { return dir_; }
  // The program's temporary directory, where a check spools fetched mails.
  [[nodiscard]] std::filesystem::path temp_dir() const { return dir_.file("MailTemp"); }

 private:
  using AccountPtr = std::shared_ptr<MailboxAccount>;

  // Calls `visit` with each entry's record image and its complete rule ids;
  // true when the data ends inside an entry.
  using EntryVisitor = std::function<void(std::string_view record, std::string_view ids)>;
  static bool for_each_entry(std::string_view data, const EntryVisitor& visit);

  // Rewrites "Mailbox" as it is on disk now, handing the stored image of each
  // entry whose address names one of `accounts` to `change` with that
  // account; every other entry stays byte for byte.
  using EntryChange = std::function<void(std::string& image, const MailboxAccount& account)>;
  [[nodiscard]] StoreResult rewrite_entries(const std::vector<AccountPtr>& accounts, const EntryChange& change) const;

  // Needs mutex_ held.
  [[nodiscard]] bool contains_locked(const MailboxAccount& account) const;

  void notify_bound(const std::vector<uint32_t>& ids) const;
  void notify_unbound(const std::vector<uint32_t>& ids) const;

  ProgramDir dir_;
  RuleUseCounter* rules_;
  mutable std::mutex mutex_;
  std::vector<AccountPtr> accounts_;
  size_t watched_ = 0;
  size_t bindings_ = 0;
};

}  // namespace pw
