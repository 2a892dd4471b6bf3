#include "engine/save_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/safe_name.h"

namespace pw {

namespace {

constexpr std::string_view kForbidden = "\\/:*?\"<>|;";

bool ensure_directory(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::create_directory(p, ec);
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::optional<SaveFolder> SaveFolder::open(const std::filesystem::path& dir, std::string_view address,
                                           std::string_view sub) {
  std::error_code ec;
  if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return std::nullopt;
  const std::filesystem::path account = dir / clean_name(address, "mailbox");
  if (!ensure_directory(account)) return std::nullopt;
  const std::filesystem::path folder = account / std::string(sub);
  if (!ensure_directory(folder)) return std::nullopt;
  return SaveFolder(folder);
}

std::string SaveFolder::clean_name(std::string_view name, std::string_view fallback) {
  std::string kept;
  for (char c : name) {
    if (kForbidden.find(c) == std::string_view::npos) kept += c;
  }
  return sanitise_file_name(kept, fallback);
}

int SaveFolder::write_exclusive(const std::filesystem::path& path, std::string_view data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? 0 : -1;
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && done == data.size();
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return -1;
  }
  return 1;
}

}  // namespace pw
