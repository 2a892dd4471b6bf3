#pragma once
// Dialling a connection before a check and hanging up after it. The check
// run uses it through this interface; NoDialUp stands in where the system
// has no dialler (the machine is taken to be online).
#include <string>
#include <vector>

namespace pw {

struct DialRequest {
  std::string entry;  // the connection to bring up
  std::string phone_number;
  std::string user;
  std::string password;
};

struct DialResult {
  int code = 0;        // 0: online (dialled, or a connection was up already)
  std::string reason;  // GB18030, the system's text for a failure
  [[nodiscard]] bool ok() const { return code == 0; }
};

class DialUp {
 public:
  virtual ~DialUp() = default;

  // The connections that can be dialled, in the system's order.
  [[nodiscard]] virtual std::vector<std::string> list_entries() = 0;
  // Brings `request.entry` up and waits for the outcome. A machine online
  // already is left as it is: nothing is dialled.
  [[nodiscard]] virtual DialResult dial(const DialRequest& request) = 0;
  // Takes down the connection dial brought up, if any, and no other one;
  // failures are silent.
  virtual void hang_up() = 0;
};

class NoDialUp final : public DialUp {
 public:
  std::vector<std::string> list_entries() override { return {}; }
  DialResult dial(const DialRequest&) override { return {}; }
  void hang_up() override {}
};

}  // namespace pw
