#pragma once
// The index of the mails the backup action saved to disk, in the monthly
// files of "LocalMail". Never purged.
#include <cstdint>
#include <string_view>

#include "base/local_time.h"
#include "base/program_dir.h"
#include "stores/local_mail_record.h"
#include "stores/monthly_records.h"

namespace pw {

class LocalMailIndex : public MonthlyRecords<LocalMailRecord> {
 public:
  using Listener = RecordAddedListener<LocalMailRecord>;

  LocalMailIndex(const ProgramDir& dir, const Clock& clock);

  // Appends a record whose date saved is the current local time.
  LocalMailRecord add(bool has_attachment, std::string_view account, std::string_view sender,
                      std::string_view subject, std::string_view mail_date, uint32_t size, std::string_view path);

  void load_current_month();

  // Removes a record of the shown month (the caller deletes the mail file).
  bool remove(size_t index) { return remove_at(index); }

 private:
  const Clock& clock_;
};

}  // namespace pw
