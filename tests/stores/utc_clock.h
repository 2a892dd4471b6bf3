#pragma once
// A fixed clock in UTC for the monthly stores: the process time zone is set
// to UTC while a test runs, so local-time stamps are known in advance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "base/local_time.h"

namespace pw::test {

inline std::time_t utc(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm);
}

class UtcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  FixedClock clock{utc(2003, 5, 17, 8, 9, 10)};

 private:
  std::optional<std::string> saved_;
};

}  // namespace pw::test
