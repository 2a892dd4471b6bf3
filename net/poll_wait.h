#pragma once
// The one bounded wait of the transport: poll() on one socket until a
// deadline, retried after signals.
#include <chrono>

namespace pw {

// Waits for `events` (POLLIN, POLLOUT) on `fd` until `deadline`; 1 ready,
// 0 timed out, -1 error or stopped (the thread's StopSignal was raised).
[[nodiscard]] int poll_until(int fd, short events, std::chrono::steady_clock::time_point deadline);

}  // namespace pw
