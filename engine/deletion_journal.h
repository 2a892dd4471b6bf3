#pragma once
// The deletions an account's check has queued and not yet seen through, kept
// on disk beside the account's .uid file ("<address>.del") so that a crash
// between the actions and the deletion phase loses none: the next check
// carries them out first.
//
// One record per line, CR LF ended: uid, sender, recipient, subject and
// description separated by tabs (tab, CR, LF and backslash escaped as \t,
// \r, \n, \\) and a closing "#" field. A record cut short by a crash lacks
// the closing field and is not taken; since a deletion is journalled before
// its mail is recorded as seen, that mail is simply new again.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/pending_deletion.h"

namespace pw {

class DeletionJournal {
 public:
  // `file` empty: an account without a .uid file keeps no journal.
  explicit DeletionJournal(std::filesystem::path file) : file_(std::move(file)) {}

  // The journal beside a .uid file: the same name with ".del".
  [[nodiscard]] static std::filesystem::path file_for(const std::filesystem::path& uid_file);

  // The complete records in order; empty when there is no file.
  [[nodiscard]] std::vector<PendingDeletion> load() const;
  // Appends one record and flushes it to disk.
  [[nodiscard]] bool append(const PendingDeletion& request) const;
  // Replaces the journal with `remaining`; no file when it is empty.
  [[nodiscard]] bool replace(const std::vector<PendingDeletion>& remaining) const;

  [[nodiscard]] const std::filesystem::path& file() const { return file_; }

  [[nodiscard]] static std::string encode(const PendingDeletion& request);

 private:
  std::filesystem::path file_;
};

}  // namespace pw
