#include "base/local_time.h"

#include <cstdio>

namespace pw {

LocalTime to_local(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string format_stamp(const LocalTime& t) {
  char b[64];
  std::snprintf(b, sizeof b, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return b;
}

std::string format_month(int year, int month) {
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d", year, month);
  return b;
}

std::string format_mail_date(std::time_t t) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  localtime_r(&t, &tm);
  long offset = tm.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char b[64];
  std::snprintf(b, sizeof b, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[tm.tm_wday % 7], tm.tm_mday,
                months[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, sign, offset / 60,
                offset % 60);
  return b;
}

}  // namespace pw
