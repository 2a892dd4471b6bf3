#include "engine/mail_spool.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_io.h"

namespace pw {
namespace {

// An unnamed file in `dir`, or a named one unlinked at once where the file
// system cannot make unnamed files.
int open_unnamed(const std::filesystem::path& dir) {
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = (dir / "pw-spool-XXXXXX").string();
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

MailSpool::~MailSpool() {
  if (fd_ >= 0) ::close(fd_);
}

bool MailSpool::open_file() {
  if (fd_ >= 0) return true;
  fd_ = open_unnamed(dir_);
  if (fd_ < 0) {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (!ec) fd_ = open_unnamed(temp);
  }
  return fd_ >= 0;
}

std::optional<MailSpool::Entry> MailSpool::put(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (!open_file()) return std::nullopt;
  // Room is asked for first: a disk filled by the spool would fail the
  // writes of everything else (the seen lists among them).
  struct statvfs fs {};
  if (::fstatvfs(fd_, &fs) == 0 &&
      static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < text.size() + kReserve)
    return std::nullopt;
  // Each text goes at the end as the spool knows it, so that a text cut
  // short by a full disk is cut off again and the next starts clean.
  if (::lseek(fd_, static_cast<off_t>(end_), SEEK_SET) < 0 || !write_all(fd_, text)) {
    // A part written before the failure is cut off again.
    (void)::ftruncate(fd_, static_cast<off_t>(end_));
    return std::nullopt;
  }
  const Entry entry{end_, text.size()};
  end_ += text.size();
  return entry;
}

std::optional<std::string> MailSpool::get(const Entry& entry) const {
  std::lock_guard lock(mutex_);
  if (fd_ < 0 || entry.offset + entry.length > end_) return std::nullopt;
  std::string text(entry.length, '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::pread(fd_, text.data() + done, text.size() - done, static_cast<off_t>(entry.offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    done += static_cast<size_t>(n);
  }
  return text;
}

void MailSpool::clear() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0 && end_ > 0) (void)::ftruncate(fd_, 0);
  end_ = 0;
}

}  // namespace pw
