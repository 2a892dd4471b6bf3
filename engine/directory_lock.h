#pragma once
// An exclusive advisory lock on one file (flock), held while the object
// lives. The check of a program directory holds "CheckOnce.lock" so that a
// check from cron and the running program never work on the same stores at
// once.
#include <filesystem>
#include <string_view>

namespace pw {

class DirectoryLock {
 public:
  static constexpr std::string_view kCheckLockName = "CheckOnce.lock";

  // Tries once, without waiting; see locked().
  explicit DirectoryLock(const std::filesystem::path& file);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  [[nodiscard]] bool locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

}  // namespace pw
