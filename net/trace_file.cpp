#include "net/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

namespace pw {

TraceFile::TraceFile(const std::filesystem::path& path) {
  // Not truncated before it is known to be a regular file; O_NONBLOCK keeps
  // a FIFO without a reader from holding the start.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) {
    // ENXIO: a FIFO without a reader, no regular file either.
    error_ = errno == ENXIO ? EINVAL : errno;
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error_ = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error_ = EINVAL;
  } else if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0 ||
             ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error_ = errno;
  } else if ((file_ = ::fdopen(fd, "w")) == nullptr) {
    error_ = errno;
  }
  if (!file_) ::close(fd);
}

TraceFile::~TraceFile() {
  if (file_) std::fclose(file_);
}

ProtocolTrace TraceFile::sink(std::string_view protocol) {
  return [this, name = std::string(protocol)](std::string_view line) { write(name, line); };
}

void TraceFile::write(std::string_view protocol, std::string_view line) {
  if (!file_) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  std::lock_guard lock(mutex_);
  std::fprintf(file_, "%s %.*s %.*s\n", stamp, static_cast<int>(protocol.size()), protocol.data(),
               static_cast<int>(line.size()), line.data());
  std::fflush(file_);
}

}  // namespace pw
