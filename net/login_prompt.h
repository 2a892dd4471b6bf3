#pragma once
// The question a protocol session asks when the server refuses a password:
// the user may correct the log-in data or give up. The user interface
// supplies a dialog, a headless run gives up, tests script the answers.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

struct LoginData {
  std::string user;
  std::string password;
};

// Called on the session's own thread with the data just refused and the
// server's refusal; returns the corrected data, or nullopt to give up.
using LoginPrompt = std::function<std::optional<LoginData>(const LoginData& refused, std::string_view refusal)>;

}  // namespace pw
