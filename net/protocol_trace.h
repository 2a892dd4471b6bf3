#pragma once
// Receives the protocol log of a session, one line at a time without its line
// end: "C: " for what the client sent (passwords masked), "S: " for what the
// server answered (mail text and listings summarised, not copied).
#include <functional>
#include <string_view>

namespace pw {

using ProtocolTrace = std::function<void(std::string_view line)>;

}  // namespace pw
