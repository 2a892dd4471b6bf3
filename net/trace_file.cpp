#include "net/trace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <string>

namespace pw {

TraceFile::TraceFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  file_ = ::fdopen(fd, "w");
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
