#include "stores/mailbox_list.h"

#include <algorithm>
#include <cstdio>

#include "base/file_io.h"
#include "base/fixed_field.h"
#include "res/string_ids.h"
#include "stores/ascii_case.h"

namespace pw {
namespace {

constexpr size_t kIdWidth = 8;

std::optional<uint32_t> parse_rule_id(std::string_view hex) {
  uint32_t id = 0;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return std::nullopt;
    id = id << 4 | uint32_t(v);
  }
  return id;
}

}  // namespace

MailboxList::MailboxList(ProgramDir dir, RuleUseCounter* rules) : dir_(std::move(dir)), rules_(rules) {}

bool MailboxList::for_each_entry(std::string_view data, const EntryVisitor& visit) {
  std::string_view rest = data;
  bool damaged = false;
  while (!rest.empty()) {
    if (rest.size() < MailboxRecord::kSize) return true;
    const std::string_view record = rest.substr(0, MailboxRecord::kSize);
    rest.remove_prefix(MailboxRecord::kSize);
    uint32_t n = 0;
    if (rest.size() >= 4) {
      n = read_le32(rest.data());
      rest.remove_prefix(4);
    } else {
      damaged = true;
      rest = {};
    }
    size_t complete = rest.size() / kIdWidth;
    size_t take = std::min<size_t>(n, complete);
    std::string_view ids = rest.substr(0, take * kIdWidth);
    if (n > complete) {
      damaged = true;
      rest = {};
    } else {
      rest.remove_prefix(take * kIdWidth);
    }
    visit(record, ids);
  }
  return damaged;
}

MailboxLoadReport MailboxList::load(const std::function<bool(uint32_t)>& rule_exists) {
  MailboxLoadReport report;
  std::optional<std::string> data = read_file(file());
  if (!data) return report;
  report.damaged = for_each_entry(*data, [&](std::string_view image, std::string_view ids) {
    bool paused = true;
    MailboxRecord record = MailboxRecord::decode(image.data(), &paused);
    if (find(record.address)) {
      ++report.duplicate_accounts;
      return;
    }
    AccountPtr account = create(std::move(record), paused);
    account->seen().load();
    ++report.accounts;
    for (size_t i = 0; i < ids.size() / kIdWidth; ++i) {
      std::optional<uint32_t> id = parse_rule_id(ids.substr(i * kIdWidth, kIdWidth));
      if (!id || !rule_exists || !rule_exists(*id)) {
        ++report.dropped_rule_ids;
        continue;
      }
      bind(*account, *id);
    }
  });
  return report;
}

StoreResult MailboxList::save() const {
  std::vector<AccountPtr> list = accounts();
  std::string data;
  data.reserve(list.size() * (MailboxRecord::kSize + 4));
  for (const AccountPtr& account : list) {
    data += account->record().encode(account->paused());
    std::vector<uint32_t> ids = account->bound_rules();
    append_le32(data, static_cast<uint32_t>(ids.size()));
    for (uint32_t id : ids) {
      char hex[kIdWidth + 1];
      std::snprintf(hex, sizeof hex, "%08x", id);
      data.append(hex, kIdWidth);
    }
  }
  // The .uid files are the checks' to write: they are current at all times.
  if (!write_file_atomic(file(), data, kPrivateFile)) return {false, sid::kMailboxesFileFailed};
  return {};
}

StoreResult MailboxList::rewrite_entries(const std::vector<AccountPtr>& accounts, const EntryChange& change) const {
  if (accounts.empty()) return {};
  std::optional<std::string> data = read_file(file());
  if (!data) return {};  // nothing stored to change
  std::string out;
  out.reserve(data->size());
  const bool damaged = for_each_entry(*data, [&](std::string_view image, std::string_view ids) {
    const std::string address = MailboxRecord::decode(image.data()).address;
    auto it = std::find_if(accounts.begin(), accounts.end(),
                           [&](const AccountPtr& a) { return ascii_iequal(a->address(), address); });
    std::string entry(image);
    if (it != accounts.end()) change(entry, **it);
    out += entry;
    append_le32(out, static_cast<uint32_t>(ids.size() / kIdWidth));
    out += ids;
  });
  // A damaged file is left to the program that reads it whole.
  if (damaged) return {false, sid::kMailboxesFileFailed};
  if (!write_file_atomic(file(), out, kPrivateFile)) return {false, sid::kMailboxesFileFailed};
  return {};
}

StoreResult MailboxList::save_logins(const std::vector<std::shared_ptr<MailboxAccount>>& corrected) const {
  return rewrite_entries(corrected, [](std::string& image, const MailboxAccount& account) {
    bool paused = true;
    MailboxRecord record = MailboxRecord::decode(image.data(), &paused);
    const MailboxRecord now = account.record();
    record.login_name = now.login_name;
    record.password = now.password;
    record.smtp_login_name = now.smtp_login_name;
    record.smtp_password = now.smtp_password;
    image = record.encode(paused);
  });
}

StoreResult MailboxList::save_tls_seen(const std::vector<std::shared_ptr<MailboxAccount>>& seen) const {
  return rewrite_entries(seen, [](std::string& image, const MailboxAccount& account) {
    const MailboxRecord now = account.record();
    if (now.tls_seen && MailboxRecord::decode(image.data()).pop_server == now.pop_server)
      MailboxRecord::mark_tls_seen(image.data());
  });
}

void MailboxList::release() {
  std::vector<uint32_t> unbound;
  {
    std::lock_guard lock(mutex_);
    for (const AccountPtr& account : accounts_) {
      std::vector<uint32_t> ids = account->take_rules();
      unbound.insert(unbound.end(), ids.begin(), ids.end());
    }
    accounts_.clear();
    watched_ = 0;
    bindings_ = 0;
  }
  notify_unbound(unbound);
}

size_t MailboxList::count() const {
  std::lock_guard lock(mutex_);
  return accounts_.size();
}

std::shared_ptr<MailboxAccount> MailboxList::at(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < accounts_.size() ? accounts_[index] : nullptr;
}

std::shared_ptr<MailboxAccount> MailboxList::find(std::string_view address) const {
  std::lock_guard lock(mutex_);
  for (const AccountPtr& account : accounts_) {
    if (ascii_iequal(account->address(), address)) return account;
  }
  return nullptr;
}

std::vector<std::shared_ptr<MailboxAccount>> MailboxList::accounts() const {
  std::lock_guard lock(mutex_);
  return accounts_;
}

std::shared_ptr<MailboxAccount> MailboxList::create(MailboxRecord record, bool paused) {
  std::filesystem::path uid_file = SeenUidList::file_for(uid_dir(), record.address).value_or("");
  auto account = std::make_shared<MailboxAccount>(std::move(record), paused, std::move(uid_file));
  std::lock_guard lock(mutex_);
  accounts_.push_back(account);
  if (!paused) ++watched_;
  return account;
}

bool MailboxList::remove(const MailboxAccount& account) {
  AccountPtr removed;
  std::vector<uint32_t> unbound;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(accounts_.begin(), accounts_.end(),
                           [&](const AccountPtr& a) { return a.get() == &account; });
    if (it == accounts_.end()) return false;
    removed = *it;
    accounts_.erase(it);
    unbound = removed->take_rules();
    bindings_ -= unbound.size();
    if (!removed->paused()) --watched_;
  }
  removed->seen().delete_file();
  notify_unbound(unbound);
  return true;
}

bool MailboxList::bind(MailboxAccount& account, uint32_t rule_id) {
  {
    std::lock_guard lock(mutex_);
    if (!contains_locked(account) || !account.add_rule(rule_id)) return false;
    ++bindings_;
  }
  notify_bound({rule_id});
  return true;
}

bool MailboxList::unbind(MailboxAccount& account, uint32_t rule_id) {
  {
    std::lock_guard lock(mutex_);
    if (!contains_locked(account) || !account.drop_rule(rule_id)) return false;
    --bindings_;
  }
  notify_unbound({rule_id});
  return true;
}

size_t MailboxList::unbind_all(MailboxAccount& account) {
  std::vector<uint32_t> unbound;
  {
    std::lock_guard lock(mutex_);
    if (!contains_locked(account)) return 0;
    unbound = account.take_rules();
    bindings_ -= unbound.size();
  }
  notify_unbound(unbound);
  return unbound.size();
}

size_t MailboxList::unbind_everywhere(uint32_t rule_id) {
  size_t lost = 0;
  {
    std::lock_guard lock(mutex_);
    for (const AccountPtr& account : accounts_) {
      if (account->drop_rule(rule_id)) ++lost;
    }
    bindings_ -= lost;
    for (const AccountPtr& account : accounts_) {
      if (account->bound_count() == 0 && !account->paused()) {
        account->paused_ = true;
        --watched_;
      }
    }
  }
  notify_unbound(std::vector<uint32_t>(lost, rule_id));
  return lost;
}

void MailboxList::pause(MailboxAccount& account) {
  std::lock_guard lock(mutex_);
  if (!contains_locked(account) || account.paused()) return;
  account.paused_ = true;
  --watched_;
}

void MailboxList::resume(MailboxAccount& account) {
  std::lock_guard lock(mutex_);
  if (!contains_locked(account) || !account.paused()) return;
  account.paused_ = false;
  ++watched_;
}

void MailboxList::pause_all() {
  std::lock_guard lock(mutex_);
  for (const AccountPtr& account : accounts_) account->paused_ = true;
  watched_ = 0;
}

void MailboxList::resume_all() {
  std::lock_guard lock(mutex_);
  for (const AccountPtr& account : accounts_) {
    if (account->paused() && account->bound_count() > 0) {
      account->paused_ = false;
      ++watched_;
    }
  }
}

size_t MailboxList::watched_count() const {
  std::lock_guard lock(mutex_);
  return watched_;
}

size_t MailboxList::binding_count() const {
  std::lock_guard lock(mutex_);
  return bindings_;
}

bool MailboxList::contains_locked(const MailboxAccount& account) const {
  return std::any_of(accounts_.begin(), accounts_.end(), [&](const AccountPtr& a) { return a.get() == &account; });
}

void MailboxList::notify_bound(const std::vector<uint32_t>& ids) const {
  if (!rules_) return;
  for (uint32_t id : ids) rules_->rule_bound(id);
}

void MailboxList::notify_unbound(const std::vector<uint32_t>& ids) const {
  if (!rules_) return;
  for (uint32_t id : ids) rules_->rule_unbound(id);
}

}  // namespace pw
