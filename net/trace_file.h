#pragma once
// The protocol trace of a run written to a file (`--trace FILE`), for bug
// reports: one line per protocol line, with the time and the protocol in
// front. The sessions mask passwords before a line gets here. The file is
// the user's alone (0600): it names servers and user names.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "net/protocol_trace.h"

namespace pw {

class TraceFile {
 public:
  // Creates or truncates `path`; see ok().
  explicit TraceFile(const std::filesystem::path& path);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  [[nodiscard]] bool ok() const { return file_ != nullptr; }
  // A trace that writes "HH:MM:SS PROTOCOL LINE"; the TraceFile must outlive
  // it. Sessions on several threads may write at once.
  [[nodiscard]] ProtocolTrace sink(std::string_view protocol);

 private:
  void write(std::string_view protocol, std::string_view line);

  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace pw
