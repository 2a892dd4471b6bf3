#include "support/data_builders.h"

#include "base/file_io.h"
#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "stores/system_settings.h"

namespace pw::test {

MailboxRecord account_record(std::string address, std::string password, std::string pop_server,
                             std::string smtp_server) {
  MailboxRecord r;
  r.login_name = address.substr(0, address.find('@'));
  r.address = std::move(address);
  r.password = std::move(password);
  r.pop_server = std::move(pop_server);
  r.smtp_server = std::move(smtp_server);
  return r;
}

bool write_data_dir(const ProgramDir& program, const std::vector<MailboxRecord>& accounts,
                    const std::vector<Rule>& rules) {
  RuleStore stored;
  for (const Rule& r : rules) stored.add(r);
  if (!stored.save(program).ok) return false;
  MailboxList list(program);
  for (const MailboxRecord& account : accounts) {
    std::shared_ptr<MailboxAccount> a = list.create(account, false);
    for (const Rule& r : rules)
      if (!list.bind(*a, static_cast<uint32_t>(r.id))) return false;
  }
  return list.save().ok && SystemSettings{}.save(program).ok;
}

std::vector<std::string> file_lines(const std::filesystem::path& file) {
  std::vector<std::string> out;
  const std::string text = read_file(file).value_or("");
  std::string_view rest(text);
  for (size_t end; (end = rest.find("\r\n")) != std::string_view::npos; rest.remove_prefix(end + 2))
    out.emplace_back(rest.substr(0, end));
  return out;
}

}  // namespace pw::test
