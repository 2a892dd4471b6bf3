#pragma once
// Builders for what tests keep writing by hand: an account record and a
// data directory as the program leaves it.
#include <filesystem>
#include <string>
#include <vector>

#include "base/program_dir.h"
#include "rules/rule.h"
#include "stores/mailbox_record.h"

namespace pw::test {

// An account signing in with the local part of `address` and `password`;
// SMTP fields other than the server stay empty.
[[nodiscard]] MailboxRecord account_record(std::string address, std::string password, std::string pop_server,
                                           std::string smtp_server = {});

// Writes "Ruler" with `rules`, "Mailbox" with `accounts` (in order, each
// checked and bound to every rule) and a default "System" into `program`,
// whose directories exist. True when every file was written.
[[nodiscard]] bool write_data_dir(const ProgramDir& program, const std::vector<MailboxRecord>& accounts,
                                  const std::vector<Rule>& rules);

// The CR LF terminated lines of a file such as a .uid file (none when it
// cannot be read).
[[nodiscard]] std::vector<std::string> file_lines(const std::filesystem::path& file);

}  // namespace pw::test
