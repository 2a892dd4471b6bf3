#include "mail/mail_date.h"

#include <array>
#include <cstdio>

namespace pw {
namespace {

// The working copy is bounded like the buffer of a C date parser; a longer
// value (a long zone comment, say) is cut rather than refused, so its date
// and time still read.
constexpr size_t kWorkingLimit = 63;

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_white(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_white(s.back())) s.remove_suffix(1);
  return s;
}

void skip_spaces(std::string_view s, size_t& pos) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
}

std::string_view next_word(std::string_view s, size_t& pos) {
  size_t end = s.find(' ', pos);
  if (end == std::string_view::npos) end = s.size();
  std::string_view word = s.substr(pos, end - pos);
  pos = end;
  return word;
}

// "01".."12" for a word starting with an English month abbreviation, else "".
std::string month_number(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (word.size() < 3) return {};
  for (size_t m = 0; m < kMonths.size(); ++m) {
    if (fold(word[0]) == kMonths[m][0] && fold(word[1]) == kMonths[m][1] && fold(word[2]) == kMonths[m][2]) {
      return {static_cast<char>('0' + (m + 1) / 10), static_cast<char>('0' + (m + 1) % 10)};
    }
  }
  return {};
}

// Reads one integer the way scanf's %d does: white space, a sign, digits.
// Saturates instead of overflowing; false when no digit follows.
bool scan_int(std::string_view s, size_t& pos, long& value) {
  while (pos < s.size() && is_white(s[pos])) ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  if (pos >= s.size() || !is_digit(s[pos])) return false;
  long v = 0;
  for (; pos < s.size() && is_digit(s[pos]); ++pos) {
    if (v < 1000000) v = v * 10 + (s[pos] - '0');
  }
  value = negative ? -v : v;
  return true;
}

// "hh:mm:ss" from "%d:%d:%d"; fields not read and fields out of range are 0.
std::string read_time(std::string_view s) {
  long fields[3] = {0, 0, 0};
  constexpr long kMax[3] = {23, 59, 59};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= s.size() || s[pos] != ':') break;
      ++pos;
    }
    if (!scan_int(s, pos, fields[i])) break;
  }
  for (int i = 0; i < 3; ++i) {
    if (fields[i] < 0 || fields[i] > kMax[i]) fields[i] = 0;
  }
  char out[16];
  std::snprintf(out, sizeof out, "%02ld:%02ld:%02ld", fields[0], fields[1], fields[2]);
  return out;
}

}  // namespace

std::string mail_date_display(std::string_view value) {
  if (value.empty()) return {};
  std::string_view s = trim(value).substr(0, kWorkingLimit);
  if (size_t comma = s.find(','); comma != std::string_view::npos) s.remove_prefix(comma + 1);

  size_t last_space = s.rfind(' ');
  if (last_space == std::string_view::npos) return std::string(kUnreadableMailDate);
  s = trim(s.substr(0, last_space));

  size_t pos = 0;
  while (pos < s.size() && is_digit(s[pos])) ++pos;
  if (pos < 1 || pos > 2) return std::string(kUnreadableMailDate);
  std::string day(s.substr(0, pos));
  if (day.size() == 1) day.insert(0, "0");
  if (pos < s.size()) ++pos;  // the separator after the day, whatever it is
  skip_spaces(s, pos);

  std::string month = month_number(next_word(s, pos));
  skip_spaces(s, pos);

  std::string_view year_word = next_word(s, pos);
  if (year_word.size() != 2 && year_word.size() != 4) return std::string(kUnreadableMailDate);
  std::string year(year_word);
  if (year.size() == 2) year.insert(0, year < "50" ? "20" : "19");

  std::string_view rest = s.substr(pos);
  while (!rest.empty() && is_white(rest.front())) rest.remove_prefix(1);

  if (month.empty()) month = "??";
  return year + "/" + month + "/" + day + " " + read_time(rest);
}

}  // namespace pw
