#pragma once
// Plain-text export and import of the accounts. Each account is a block of
// lines ended by CR LF: address, login name, password (plain), POP server,
// SMTP server, and, only when SMTP authentication is on, SMTP login name and
// SMTP password; then an empty line. The caller asks the question and picks
// the file; these functions only write and read it.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

#include "stores/mailbox_list.h"

namespace pw {

struct MailboxExportResult {
  int text_id = 0;              // sid::kExportDone, or sid::kExportFailed: the file could not be written
  std::filesystem::path file;   // the chosen name, ".txt" appended when it lacked it
  size_t accounts = 0;
};

struct MailboxImportResult {
  int text_id = 0;        // sid::kImportDone (also when nothing was added), or sid::kImportFailed
  size_t added = 0;
  size_t duplicates = 0;  // blocks whose address is already an account
  size_t unsafe = 0;      // blocks whose address cannot name the account's .uid file
  std::vector<std::shared_ptr<MailboxAccount>> accounts;  // the new ones, in file order, all paused
};

// The text of the export file.
[[nodiscard]] std::string mailbox_export_text(const MailboxList& list);

[[nodiscard]] MailboxExportResult export_mailboxes(const MailboxList& list, std::filesystem::path file);

// Adds one paused account per block whose address is new (ignoring case) and
// can name a file. Lines end with CR LF or LF; an account takes the block's
// first seven lines, and a sixth line turns SMTP authentication on.
[[nodiscard]] MailboxImportResult import_mailboxes(MailboxList& list, const std::filesystem::path& file);

}  // namespace pw
