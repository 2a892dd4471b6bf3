#pragma once
// A stop for a worker's network waits, raised from another thread: while a
// StopScope is alive on a thread, every bounded wait of that thread's
// sockets (poll_until) ends at once, as an error, when its signal is raised.
#include <atomic>

namespace pw {

class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // From any thread.
  void raise();
  // Before the work the signal guards starts again.
  void reset();
  [[nodiscard]] bool raised() const { return raised_.load(); }
  // Readable while raised; -1 when none could be made (then only
  // raised() tells, at the start of each wait).
  [[nodiscard]] int fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::atomic<bool> raised_{false};
};

class StopScope {
 public:
  explicit StopScope(const StopSignal& signal);
  ~StopScope();
  StopScope(const StopScope&) = delete;
  StopScope& operator=(const StopScope&) = delete;

 private:
  const StopSignal* outer_;
};

// The signal of the calling thread's innermost StopScope, or null.
[[nodiscard]] const StopSignal* current_stop();

}  // namespace pw
