#pragma once
// One operation the program carried out on a mail: the 2465-byte record of
// the monthly files in "Log".
#include <cstddef>
#include <string>

namespace pw {

struct LogRecord {
  static constexpr size_t kSize = 2465;

  std::string account;     // 128 at 0
  std::string time;        // 32 at 128, "%04d/%02d/%02d %02d:%02d:%02d" local time
  std::string sender;      // 128 at 160
  std::string recipients;  // 1024 at 288
  std::string subject;     // 128 at 1312
  std::string operation;   // 1024 at 1440, what was done as the caller words it
  bool success = false;    // byte 2464

  [[nodiscard]] std::string encode() const;
  [[nodiscard]] static LogRecord decode(const char* image);

  friend bool operator==(const LogRecord&, const LogRecord&) = default;
};

}  // namespace pw
