#pragma once
// Local time as the stores and mails write it, and a clock that tests can set.
#include <ctime>
#include <string>

namespace pw {

struct LocalTime {
  int year = 0;    // e.g. 2003
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

[[nodiscard]] LocalTime to_local(std::time_t t);

// "%04d/%02d/%02d %02d:%02d:%02d", the time stamp of log and index records.
[[nodiscard]] std::string format_stamp(const LocalTime& t);

// "%04d-%02d", the name of a month file.
[[nodiscard]] std::string format_month(int year, int month);

// RFC 5322 date with the real local zone offset, in English whatever the
// locale: "Tue, 08 Dec 2026 16:08:32 +0800".
[[nodiscard]] std::string format_mail_date(std::time_t t);

// The source of "now". Pass one in wherever time matters so tests can fix it.
class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual std::time_t now() const = 0;
};

class SystemClock final : public Clock {
 public:
  [[nodiscard]] std::time_t now() const override { return std::time(nullptr); }
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(std::time_t t) : t_(t) {}
  [[nodiscard]] std::time_t now() const override { return t_; }
  void set(std::time_t t) { t_ = t; }

 private:
  std::time_t t_;
};

}  // namespace pw
