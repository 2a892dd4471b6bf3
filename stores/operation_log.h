#pragma once
// The operation log: one record per operation carried out on a mail, in the
// monthly files of "Log". Writers append to the month of "now" (from the
// clock); the shown month is held in memory.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/local_time.h"
#include "base/program_dir.h"
#include "stores/log_record.h"
#include "stores/monthly_records.h"

namespace pw {

class OperationLog : public MonthlyRecords<LogRecord> {
 public:
  using Listener = RecordAddedListener<LogRecord>;

  OperationLog(const ProgramDir& dir, const Clock& clock);

  // Appends a record stamped with the current local time and returns it. A
  // failed operation (success false) is also the caller's to show at once,
  // with failure_notice() as the message.
  LogRecord write(std::string_view account, std::string_view sender, std::string_view recipients,
                  std::string_view subject, std::string_view operation, bool success);

  // The notice for a failed operation: the account, CR LF, sid::kOperationFailed, CR LF,
  // and the operation text in double quotes (GB18030).
  [[nodiscard]] static std::string failure_notice(const LogRecord& record);

  // Shows the month of "now".
  void load_current_month();

  // Deletes the log months older than the `months_to_keep` months up to and
  // including the current one; returns how many files were deleted.
  size_t purge_old_months(int months_to_keep) const;

  // The same on any directory and month: every entry whose name is bytewise
  // less than or equal to purge_limit() is deleted (directories are not).
  static size_t purge_old_months(const std::filesystem::path& log_dir, int months_to_keep, int year, int month);
  // "%04d-%02d" of the month `months_to_keep` months before (year, month).
  // A number below 1 (a new or damaged settings record) counts as 12, the
  // dialog's default, so the purge never deletes the current month.
  [[nodiscard]] static std::string purge_limit(int months_to_keep, int year, int month);

 private:
  const Clock& clock_;
};

}  // namespace pw
