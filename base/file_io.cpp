#include "base/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace pw {

bool write_all(int fd, std::string_view data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

namespace {

void sync_directory(const std::filesystem::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

namespace {

// The content of the file open on `fd` (closed here) when it is a regular
// file of at most `max_bytes`.
std::optional<std::string> read_open_file(int fd, size_t max_bytes) {
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > max_bytes) {
    ::close(fd);
    return std::nullopt;
  }
  std::string out;
  out.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > max_bytes) {
      ::close(fd);
      return std::nullopt;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

}  // namespace

std::optional<std::string> read_file(const std::filesystem::path& path, size_t max_bytes) {
  return read_open_file(::open(path.c_str(), O_RDONLY | O_CLOEXEC), max_bytes);
}

std::optional<std::string> read_plain_file(const std::filesystem::path& path, size_t max_bytes) {
  // O_NONBLOCK: opening a FIFO or a device returns at once, and fstat then
  // refuses it; for a regular file the flag changes nothing.
  return read_open_file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), max_bytes);
}

bool write_file_atomic(const std::filesystem::path& path, std::string_view data, unsigned mode) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path tmp = path;
  tmp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return false;
  // A private file is made private explicitly, whatever file of that name
  // a crash may have left; other modes are left to the umask.
  bool ok = (mode & 077) != 0 || ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
  ok = ok && write_all(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) {
    // rename() refuses to replace a directory with a file, so a directory
    // standing where the store should be makes the save fail, not vanish.
    ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  sync_directory(path.parent_path());
  return true;
}

bool append_file(const std::filesystem::path& path, std::string_view data, bool sync, unsigned mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return false;
  bool ok = write_all(fd, data);
  if (ok && sync) ok = ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

int append_blocker(const std::filesystem::path& path, uint64_t min_free) {
  std::filesystem::path target = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
  } else if (errno == ENOENT) {
    target = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  } else {
    return errno;
  }
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
  struct statvfs fs {};
  if (::statvfs(target.c_str(), &fs) != 0) return errno;
  if (static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < min_free) return ENOSPC;
  // A new file needs an inode as well (tmpfs and others may run out).
  if (target != path && fs.f_files != 0 && fs.f_favail == 0) return ENOSPC;
  return 0;
}

bool sync_existing_file(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  const bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

}  // namespace pw

namespace pw {

int AppendFile::open(const std::filesystem::path& path, struct stat& st, bool lock) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (fd_ < 0 || path != path_) {
      close();
      fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (fd_ < 0) return -1;
      path_ = path;
    }
    if (lock) ::flock(fd_, LOCK_EX);
    if (::fstat(fd_, &st) != 0) break;
    if (st.st_nlink > 0) return fd_;
    // Replaced or removed since the last append: the name leads elsewhere.
    close();
  }
  close();
  return -1;
}

void AppendFile::unlock() const {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

void AppendFile::close() {
  if (fd_ >= 0) ::close(fd_);  // closing lets go of a lock too
  fd_ = -1;
}

bool append_record(AppendFile& file, const std::filesystem::path& path, std::string_view record,
                   size_t record_size) {
  // Other processes append to the same month file (a headless check beside
  // the window): the cut and the write are one step for all of them.
  struct stat st {};
  const int fd = file.open(path, st, true);
  if (fd < 0) return false;
  off_t end = st.st_size;
  bool ok = true;
  if (record_size > 0 && end % static_cast<off_t>(record_size) != 0) {
    end -= end % static_cast<off_t>(record_size);
    ok = ::ftruncate(fd, end) == 0;
  }
  ok = ok && write_all(fd, record);
  if (!ok) (void)::ftruncate(fd, end);
  file.unlock();
  return ok;
}

}  // namespace pw
