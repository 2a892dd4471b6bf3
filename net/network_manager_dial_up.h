#pragma once
// Dialling through NetworkManager on the system D-Bus: its connection
// profiles are the entries, activating one is the dial, and the machine is
// online when NetworkManager says it is connected globally (or its
// connectivity is full). Hang-up takes down only the connection this object
// activated. Each call opens its own bus connection, so the check worker and
// the UI thread may use one object.
//
// NetworkManager activates a profile with the number and log-in stored in
// the profile itself; the phone number, user name and password of the
// request are not passed on.
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "net/dial_up.h"

namespace pw {

class NetworkManagerDialUp final : public DialUp {
 public:
  // How long an activation may take before it counts as failed.
  static constexpr std::chrono::seconds kActivationLimit{90};

  // `bus_address` empty: the system bus; otherwise a D-Bus address such as
  // "unix:path=/run/x" (tests run their own bus).
  explicit NetworkManagerDialUp(std::string bus_address = {},
                                std::chrono::milliseconds activation_limit = kActivationLimit);

  // The ids (GB18030) of the profiles this user may activate: those without
  // a permission list and those that name the user.
  std::vector<std::string> list_entries() override;
  // An activation that fails to settle within the limit is deactivated.
  DialResult dial(const DialRequest& request) override;
  void hang_up() override;

 private:
  void remember(const std::string& active_path);
  void forget(const std::string& active_path);

  std::string bus_address_;
  std::chrono::milliseconds activation_limit_;
  std::mutex mutex_;
  std::string activated_;  // the active connection dial brought up, until hang-up
};

}  // namespace pw
