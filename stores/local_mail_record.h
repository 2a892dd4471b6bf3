#pragma once
// One mail the backup action saved to disk: the 716-byte record of the
// monthly files in "LocalMail".
#include <cstddef>
#include <cstdint>
#include <string>

namespace pw {

struct LocalMailRecord {
  static constexpr size_t kSize = 716;

  std::string account;          // 128 at 0
  bool has_attachment = false;  // byte 128
  std::string sender;           // 128 at 129
  std::string subject;          // 128 at 257
  std::string mail_date;        // 32 at 385, the display form of the mail's date
  std::string saved;            // 32 at 417, "%04d/%02d/%02d %02d:%02d:%02d" local time
  // 3 bytes of padding at 449
  uint32_t size = 0;            // at 452, the mail's size in bytes
  std::string path;             // 260 at 456, the saved mail file

  [[nodiscard]] std::string encode() const;
  [[nodiscard]] static LocalMailRecord decode(const char* image);

  friend bool operator==(const LocalMailRecord&, const LocalMailRecord&) = default;
};

}  // namespace pw
