#include "net/stop_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace pw {
namespace {

thread_local const StopSignal* thread_stop = nullptr;

}  // namespace

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void StopSignal::raise() {
  raised_ = true;
  const std::uint64_t one = 1;
  if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

void StopSignal::reset() {
  raised_ = false;
  std::uint64_t count = 0;
  if (fd_ >= 0) (void)!::read(fd_, &count, sizeof count);
}

StopScope::StopScope(const StopSignal& signal) : outer_(thread_stop) { thread_stop = &signal; }

StopScope::~StopScope() { thread_stop = outer_; }

const StopSignal* current_stop() { return thread_stop; }

}  // namespace pw
