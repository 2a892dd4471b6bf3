#include "engine/save_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/safe_name.h"
#include "res/string_table.h"

namespace pw {

namespace {

constexpr int kNotAbsolute = 62100;
constexpr std::string_view kForbidden = "\\/:*?\"<>|;";

bool ensure_directory(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::create_directory(p, ec);
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::string SaveFolder::path_refusal(std::string_view path) {
  return path_from_gb(path).is_absolute() ? std::string() : res::text(kNotAbsolute);
}

std::optional<SaveFolder> SaveFolder::open(std::string_view dir_text, std::string_view address,
                                           std::string_view sub) {
  const std::filesystem::path dir = path_from_gb(dir_text);
  std::error_code ec;
  if (!dir.is_absolute() || !std::filesystem::is_directory(dir, ec)) return std::nullopt;
  const std::filesystem::path account = dir / path_from_gb(clean_name(address, "mailbox"));
  if (!ensure_directory(account)) return std::nullopt;
  const std::filesystem::path folder = account / std::string(sub);
  if (!ensure_directory(folder)) return std::nullopt;
  return SaveFolder(folder);
}

std::string SaveFolder::clean_name(std::string_view name, std::string_view fallback) {
  return sanitise_file_name(without_characters(name, kForbidden), fallback);
}

// The data goes into a hidden temporary file first and is moved under its
// name only once complete, so a crash mid-write never leaves a cut file that
// looks like a backup.
int SaveFolder::write_exclusive(const std::filesystem::path& path, std::string_view data) {
  const std::filesystem::path part = path.parent_path() / ("." + path.filename().string() + ".part");
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? 0 : -1;
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  int result = ::close(fd) == 0 && done == data.size() ? 1 : -1;
  if (result == 1 && ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
    // Without the no-replace rename (some file systems), a hard link keeps
    // an existing file just as well.
    const bool unsupported = errno == EINVAL || errno == ENOSYS;
    if (!unsupported || ::link(part.c_str(), path.c_str()) != 0) result = errno == EEXIST ? 0 : -1;
  }
  std::error_code ec;
  std::filesystem::remove(part, ec);
  return result;
}

}  // namespace pw
