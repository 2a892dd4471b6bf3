#pragma once
// Backup: saves the whole mail as an .eml file in DIR/ADDRESS/BackupMail,
// named after the time and the sender, and records it in the local-mail index.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class MailProcessor;
struct ActionServices;

class BackupAction {
 public:
  BackupAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // Every matched rule whose backup is enabled, then the extra backup; the
  // whole mail is downloaded at most once for the step.
  void run_step(std::vector<uint8_t>& success);

  // Saves the mail below `dir`; true when it was written and indexed.
  [[nodiscard]] bool back_up(std::string_view dir);

  // "date(YYYY-MM-DD) time(hh.mm.ss) from(ADDRESS)" without the characters
  // a file name cannot hold.
  [[nodiscard]] static std::string file_stem(std::time_t now, std::string_view sender_address);

 private:
  bool whole_mail();

  MailProcessor& mail_;
  const ActionServices& services_;
  std::optional<bool> whole_;
};

}  // namespace pw
