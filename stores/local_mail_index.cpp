#include "stores/local_mail_index.h"

namespace pw {

LocalMailIndex::LocalMailIndex(const ProgramDir& dir, const Clock& clock)
    : MonthlyRecords<LocalMailRecord>(dir.file("LocalMail")), clock_(clock) {}

LocalMailRecord LocalMailIndex::add(bool has_attachment, std::string_view account, std::string_view sender,
                                    std::string_view subject, std::string_view mail_date, uint32_t size,
                                    std::string_view path) {
  LocalTime now = to_local(clock_.now());
  LocalMailRecord record;
  record.account = account;
  record.has_attachment = has_attachment;
  record.sender = sender;
  record.subject = subject;
  record.mail_date = mail_date;
  record.saved = format_stamp(now);
  record.size = size;
  record.path = path;
  return append(record, now.year, now.month).second;
}

void LocalMailIndex::load_current_month() {
  LocalTime now = to_local(clock_.now());
  load_month(now.year, now.month);
}

}  // namespace pw
