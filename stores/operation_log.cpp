#include "stores/operation_log.h"

#include "res/string_table.h"

namespace pw {

OperationLog::OperationLog(const ProgramDir& dir, const Clock& clock)
    : MonthlyRecords<LogRecord>(dir.file("Log")), clock_(clock) {}

LogRecord OperationLog::write(std::string_view account, std::string_view sender, std::string_view recipients,
                              std::string_view subject, std::string_view operation, bool success) {
  LocalTime now = to_local(clock_.now());
  LogRecord record;
  record.account = account;
  record.time = format_stamp(now);
  record.sender = sender;
  record.recipients = recipients;
  record.subject = subject;
  record.operation = operation;
  record.success = success;
  // A failure is followed by a notice the user may take a while to close:
  // no lock is kept over it.
  return append(record, now.year, now.month, success).second;
}

std::string OperationLog::failure_notice(const LogRecord& record) {
  return record.account + "\r\n" + res::text(sid::kOperationFailed) + "\r\n\"" + record.operation + "\"";
}

void OperationLog::load_current_month() {
  LocalTime now = to_local(clock_.now());
  load_month(now.year, now.month);
}

size_t OperationLog::purge_old_months(int months_to_keep) const {
  LocalTime now = to_local(clock_.now());
  return purge_old_months(directory(), months_to_keep, now.year, now.month);
}

std::string OperationLog::purge_limit(int months_to_keep, int year, int month) {
  int k = months_to_keep < 1 ? 12 : months_to_keep;
  month -= k % 12;
  year -= k / 12;
  if (month <= 0) {
    month += 12;
    year -= 1;
  }
  return format_month(year, month);
}

size_t OperationLog::purge_old_months(const std::filesystem::path& log_dir, int months_to_keep, int year,
                                      int month) {
  const std::string limit = purge_limit(months_to_keep, year, month);
  std::error_code ec;
  std::filesystem::directory_iterator it(log_dir, ec), end;
  std::vector<std::filesystem::path> doomed;
  for (; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    // std::string compares as unsigned bytes (char_traits<char>::compare).
    if (limit.compare(name) < 0) continue;
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    doomed.push_back(it->path());
  }
  size_t deleted = 0;
  for (const auto& path : doomed) {
    if (std::filesystem::remove(path, ec)) ++deleted;
  }
  return deleted;
}

}  // namespace pw
