#include "engine/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pw {

DirectoryLock::DirectoryLock(const std::filesystem::path& file)
    : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
  locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace pw
