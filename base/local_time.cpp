#include "base/local_time.h"

#include <cstdio>

namespace pw {

LocalTime to_local(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

namespace {

// `value` in `width` digits, zero-padded: what "%0Nd" prints for a value
// that fits (a record is stamped once per action; snprintf costs more).
void put_digits(std::string& out, int value, int width) {
  if (value < 0 || (width == 2 && value > 99) || (width == 4 && value > 9999)) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*d", width, value);
    out += b;
    return;
  }
  char b[4];
  for (int i = width - 1; i >= 0; --i, value /= 10) b[i] = static_cast<char>('0' + value % 10);
  out.append(b, static_cast<size_t>(width));
}

}  // namespace

std::string format_stamp(const LocalTime& t) {
  std::string out;
  out.reserve(19);
  put_digits(out, t.year, 4);
  out += '/';
  put_digits(out, t.month, 2);
  out += '/';
  put_digits(out, t.day, 2);
  out += ' ';
  put_digits(out, t.hour, 2);
  out += ':';
  put_digits(out, t.minute, 2);
  out += ':';
  put_digits(out, t.second, 2);
  return out;
}

std::string format_month(int year, int month) {
  std::string out;
  put_digits(out, year, 4);
  out += '-';
  put_digits(out, month, 2);
  return out;
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
