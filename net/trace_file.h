#pragma once
// The protocol trace of a run written to a file (`--trace FILE`), for bug
// reports: one line per protocol line, with the time and the protocol in
// front. The sessions mask passwords before a line gets here. The file is
// the user's alone (0600, an existing one as well): it names servers and
// user names. Only a regular file is written: a symbolic link, a FIFO or a
// device put in its place is refused, not followed or waited for.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "net/protocol_trace.h"

namespace pw {

class TraceFile {
 public:
  // Creates or truncates `path`; see ok() and error().
  explicit TraceFile(const std::filesystem::path& path);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  [[nodiscard]] bool ok() const { return file_ != nullptr; }
  // Why the file could not be opened: an errno value (ELOOP for a symbolic
  // link, EINVAL for anything but a regular file), 0 when ok().
  [[nodiscard]] int error() const { return error_; }
  // A trace that writes "HH:MM:SS PROTOCOL LINE"; the TraceFile must outlive
  // it. Sessions on several threads may write at once.
  [[nodiscard]] ProtocolTrace sink(std::string_view protocol);

 private:
  void write(std::string_view protocol, std::string_view line);

  std::mutex mutex_;
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

}  // namespace pw
