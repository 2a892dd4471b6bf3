#include "stores/mailbox_account.h"

#include <algorithm>
#include <utility>

namespace pw {

MailboxAccount::MailboxAccount(MailboxRecord record, bool paused, std::filesystem::path uid_file)
    : address_(record.address), record_(std::move(record)), paused_(paused), seen_(std::move(uid_file)) {}

MailboxRecord MailboxAccount::record() const {
  std::lock_guard lock(mutex_);
  return record_;
}

void MailboxAccount::set_record(const MailboxRecord& record) {
  std::lock_guard lock(mutex_);
  record_ = record;
  record_.address = address_;
}

void MailboxAccount::set_pop_login(const std::string& login_name, const std::string& password) {
  std::lock_guard lock(mutex_);
  record_.login_name = login_name;
  record_.password = password;
}

void MailboxAccount::set_smtp_login(const std::string& login_name, const std::string& password) {
  std::lock_guard lock(mutex_);
  record_.smtp_login_name = login_name;
  record_.smtp_password = password;
}

bool MailboxAccount::mark_tls_seen(std::string_view pop_server) {
  std::lock_guard lock(mutex_);
  if (record_.tls_seen || record_.pop_server != pop_server) return false;
  record_.tls_seen = true;
  return true;
}

std::vector<uint32_t> MailboxAccount::bound_rules() const {
  std::lock_guard lock(mutex_);
  return rules_;
}

bool MailboxAccount::is_bound(uint32_t rule_id) const {
  std::lock_guard lock(mutex_);
  return std::find(rules_.begin(), rules_.end(), rule_id) != rules_.end();
}

size_t MailboxAccount::bound_count() const {
  std::lock_guard lock(mutex_);
  return rules_.size();
}

bool MailboxAccount::add_rule(uint32_t rule_id) {
  std::lock_guard lock(mutex_);
  if (std::find(rules_.begin(), rules_.end(), rule_id) != rules_.end()) return false;
  rules_.push_back(rule_id);
  return true;
}

bool MailboxAccount::drop_rule(uint32_t rule_id) {
  std::lock_guard lock(mutex_);
  auto it = std::find(rules_.begin(), rules_.end(), rule_id);
  if (it == rules_.end()) return false;
  rules_.erase(it);
  return true;
}

std::vector<uint32_t> MailboxAccount::take_rules() {
  std::lock_guard lock(mutex_);
  return std::exchange(rules_, {});
}

}  // namespace pw
