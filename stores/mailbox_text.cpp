#include "stores/mailbox_text.h"

#include <iterator>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "base/fixed_field.h"
#include "res/string_ids.h"

namespace pw {
namespace {

void add_line(std::string& out, std::string_view line) {
  out += line;
  out += "\r\n";
}

// An OAuth 2.0 account has no password: its block carries a placeholder
// where the passwords go (an empty line would end the block) and, as an
// eighth line, the method. Tokens never leave the token file.
constexpr std::string_view kNoPassword = "*";
constexpr std::string_view kMethodPrefix = "OAUTH2 ";
constexpr std::string_view kMethodNames[] = {"", "microsoft", "google", "custom"};

// The fields of a block in order, each cut to its stored width.
MailboxRecord record_from_block(const std::vector<std::string_view>& lines) {
  MailboxRecord r;
  std::string* fields[] = {&r.address,     &r.login_name,      &r.password,     &r.pop_server,
                           &r.smtp_server, &r.smtp_login_name, &r.smtp_password};
  static constexpr size_t widths[] = {128, 128, 32, 64, 64, 128, 32};
  for (size_t i = 0; i < lines.size() && i < 7; ++i) *fields[i] = fit_field(lines[i], widths[i]);
  r.smtp_auth = lines.size() >= 6 ? 1 : 0;
  if (lines.size() >= 8 && lines[7].starts_with(kMethodPrefix)) {
    std::string_view name = lines[7].substr(kMethodPrefix.size());
    for (size_t m = 1; m < std::size(kMethodNames); ++m)
      if (name == kMethodNames[m]) r.sign_in = static_cast<MailboxRecord::SignIn>(m);
    if (r.uses_oauth()) {
      r.require_tls = true;
      if (r.password == kNoPassword) r.password.clear();
      if (r.smtp_password == kNoPassword) r.smtp_password.clear();
    }
  }
  return r;
}

}  // namespace

std::string mailbox_export_text(const MailboxList& list) {
  std::string out;
  for (const auto& account : list.accounts()) {
    MailboxRecord r = account->record();
    const bool oauth = r.uses_oauth();
    add_line(out, r.address);
    add_line(out, r.login_name);
    add_line(out, oauth ? kNoPassword : std::string_view(r.password));
    add_line(out, r.pop_server);
    add_line(out, r.smtp_server);
    if (r.smtp_auth != 0 || oauth) {
      add_line(out, r.smtp_login_name);
      add_line(out, oauth ? kNoPassword : std::string_view(r.smtp_password));
    }
    if (oauth) add_line(out, std::string(kMethodPrefix) + std::string(kMethodNames[static_cast<int>(r.sign_in)]));
    add_line(out, "");
  }
  return out;
}

MailboxExportResult export_mailboxes(const MailboxList& list, std::filesystem::path file) {
  MailboxExportResult result;
  std::string name = file.string();
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0) file += ".txt";
  result.file = file;
  result.accounts = list.count();
  const bool written = write_file_atomic(file, mailbox_export_text(list), kPrivateFile);
  result.text_id = written ? sid::kExportDone : sid::kExportFailed;
  return result;
}

MailboxImportResult import_mailboxes(MailboxList& list, const std::filesystem::path& file) {
  MailboxImportResult result;
  std::optional<std::string> text = read_file(file);
  if (!text) {
    result.text_id = sid::kImportFailed;
    return result;
  }
  std::vector<std::string_view> block;
  auto finish_block = [&] {
    if (block.empty()) return;
    MailboxRecord record = record_from_block(block);
    block.clear();
    if (list.find(record.address)) {
      ++result.duplicates;
    } else if (!SeenUidList::file_for(list.uid_dir(), record.address)) {
      ++result.unsafe;
    } else {
      result.accounts.push_back(list.create(std::move(record), true));
      ++result.added;
    }
  };
  std::string_view rest(*text);
  while (!rest.empty()) {
    std::string_view line = take_line(rest);
    if (line.empty()) {
      finish_block();
    } else {
      block.push_back(line);
    }
  }
  finish_block();
  result.text_id = sid::kImportDone;
  return result;
}

}  // namespace pw
