#pragma once
// How the check of one account ended, for the window's mailbox tree.
#include <ctime>
#include <string>

namespace pw {

struct AccountCheck {
  enum class Result { ok, failed, stopped };
  std::string address;
  Result result = Result::ok;
  std::string reason;  // why it failed or stopped (GB18030)
  std::time_t time = 0;
};

}  // namespace pw
