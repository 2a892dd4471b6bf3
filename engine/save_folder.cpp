#include "engine/save_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <system_error>

#include "base/code_page.h"
#include "base/safe_name.h"
#include "res/language.h"
#include "res/string_ids.h"

namespace pw {

namespace {

constexpr std::string_view kForbidden = "\\/:*?\"<>|;";

bool ensure_directory(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::create_directory(p, ec);
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::string SaveFolder::path_refusal(std::string_view path) {
  return path_from_gb(path).is_absolute() ? std::string() : res::record_text(sid::kNotAbsolute);
}

std::optional<SaveFolder> SaveFolder::open(std::string_view dir_text, std::string_view address,
                                           std::string_view sub) {
  // A check opens the same folder for each mail it saves: the names are
  // converted and cut once.
  struct Last {
    std::string dir, address, sub;
    std::optional<SaveFolder> folder;
  };
  thread_local Last last;
  if (last.folder && last.dir == dir_text && last.address == address && last.sub == sub) return last.folder;
  const std::filesystem::path dir = path_from_gb(dir_text);
  if (!dir.is_absolute()) return std::nullopt;
  std::filesystem::path account = dir / fitted_file_name(gb_to_utf8(clean_name(address, "mailbox")));
  std::filesystem::path folder = account / std::string(sub);
  last = Last{std::string(dir_text), std::string(address), std::string(sub),
              SaveFolder(std::move(folder), dir, std::move(account))};
  return last.folder;
}

// Every file after the first finds the folder there: it is looked at only
// when a file cannot be made in it.
bool SaveFolder::make_levels() const {
  std::error_code ec;
  if (std::filesystem::is_directory(path_, ec)) return true;
  if (!std::filesystem::is_directory(dir_, ec)) return false;
  return ensure_directory(account_) && ensure_directory(path_);
}

std::string SaveFolder::clean_name(std::string_view name, std::string_view fallback) {
  return sanitise_file_name(without_characters(name, kForbidden), fallback);
}

namespace {

bool write_whole(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int SaveFolder::open_unnamed() const {
  // Naming it later goes through /proc.
  static const bool can_name = ::access("/proc/self/fd", X_OK) == 0;
  if (!can_name) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return ::open(path_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// The data is complete before the file gets its name, so a crash mid-write
// never leaves a cut file that looks like a backup. A file made without a
// name leaves nothing behind at all; the hidden named file is for file
// systems that cannot make one.
int SaveFolder::open_part(Part& part) const {
  part.path.clear();
  const int fd = open_unnamed();
  if (fd >= 0 || errno == ENOENT || errno == ENOTDIR) return fd;
  static std::atomic<unsigned> serial{0};
  static const pid_t pid = ::getpid();
  part.path = path_ / (".pw-" + std::to_string(pid) + "-" + std::to_string(serial++) + ".part");
  return ::open(part.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

std::optional<SaveFolder::Part> SaveFolder::write_part(std::string_view data) const {
  Part part;
  int fd = open_part(part);
  // A folder not made yet, or removed meanwhile, is made again once.
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR) && make_levels()) fd = open_part(part);
  if (fd < 0) return std::nullopt;
  if (part.path.empty()) {
    part.fd = fd;
    if (write_whole(part.fd, data)) return part;
    discard(part);
    return std::nullopt;
  }
  const bool written = write_whole(fd, data);
  if (::close(fd) != 0 || !written) {
    discard(part);
    return std::nullopt;
  }
  return part;
}

std::optional<std::filesystem::path> SaveFolder::write_new(std::string_view name, Numbering numbering,
                                                           std::string_view data) const {
  std::optional<Part> part = write_part(data);
  if (!part) return std::nullopt;
  return name_part(name, numbering, std::move(*part));
}

std::optional<std::filesystem::path> SaveFolder::write_new(std::string_view name, Numbering numbering,
                                                           Unnamed ready) const {
  Part part;
  part.fd = std::exchange(ready.fd_, -1);
  return name_part(name, numbering, std::move(part));
}

std::optional<std::filesystem::path> SaveFolder::name_part(std::string_view name, Numbering numbering,
                                                           Part part) const {
  const std::string utf8 = gb_to_utf8(name);
  auto name_for = [&](int n) {
    if (n == 0) return fitted_file_name(utf8);
    const std::string number = std::to_string(n);
    return numbering == Numbering::in_front ? fitted_file_name(utf8, number + "_")
                                            : fitted_file_name(utf8, {}, "(" + number + ")");
  };
  const std::string first = name_for(0);
  // A first name this process gave a suffix to was taken then; the names
  // carry the time to the second, so it is taken still.
  const int last = last_used(first);
  for (int n = last > 0 ? last + 1 : 0; n < kMaxTries; ++n) {
    const std::filesystem::path p = path_ / (n == 0 ? first : name_for(n));
    const int r = place(part, p);
    if (r == 1) {
      remember(first, n);
      return p;
    }
    if (r < 0) break;
  }
  discard(part);
  return std::nullopt;
}

SaveFolder::Unnamed& SaveFolder::Unnamed::operator=(Unnamed&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SaveFolder::Unnamed::~Unnamed() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<SaveFolder::Unnamed> SaveFolder::write_ahead(std::string_view data) const {
  const int fd = open_unnamed();
  if (fd < 0) return std::nullopt;
  Unnamed file(fd);
  if (!write_whole(fd, data)) return std::nullopt;
  return file;
}

int SaveFolder::place(Part& part, const std::filesystem::path& path) {
  if (part.fd >= 0) {
    // linkat never replaces an existing name.
    const std::string self = "/proc/self/fd/" + std::to_string(part.fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
      return errno == EEXIST ? 0 : -1;
    if (::close(part.fd) != 0) {
      // What a failed close says about the data is not to be trusted.
      part.fd = -1;
      ::unlink(path.c_str());
      return -1;
    }
    part.fd = -1;
    return 1;
  }
  if (::renameat2(AT_FDCWD, part.path.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 1;
  if (errno == EEXIST) return 0;
  // Without the no-replace rename (some file systems), a hard link keeps
  // an existing file just as well.
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::link(part.path.c_str(), path.c_str()) != 0) return errno == EEXIST ? 0 : -1;
  discard(part);
  return 1;
}

void SaveFolder::discard(Part& part) {
  if (part.fd >= 0) {
    ::close(part.fd);
    part.fd = -1;
  }
  if (part.path.empty()) return;
  std::error_code ec;
  std::filesystem::remove(part.path, ec);
}

namespace {

// Last suffix used per folder and first name. Only a shortcut: a name it
// skips was taken when it was used, and a missing entry costs one scan.
struct NameHints {
  std::mutex mutex;
  std::unordered_map<std::string, int> last;
};

NameHints& hints() {
  static NameHints h;
  return h;
}

std::string hint_key(const std::filesystem::path& folder, const std::string& first) {
  return folder.string() + '/' + first;
}

}  // namespace

int SaveFolder::last_used(const std::string& first) const {
  NameHints& h = hints();
  std::lock_guard lock(h.mutex);
  auto it = h.last.find(hint_key(path_, first));
  return it == h.last.end() ? 0 : it->second;
}

void SaveFolder::remember(const std::string& first, int n) const {
  if (n == 0) return;
  NameHints& h = hints();
  std::lock_guard lock(h.mutex);
  // Names carry the time to the second, so old entries are dead weight.
  if (h.last.size() >= 4096) h.last.clear();
  h.last[hint_key(path_, first)] = n;
}

}  // namespace pw
