#pragma once
// A helper program started by a test fixture (a test server), stopped and
// reaped when the object goes.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pw::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `argv` (argv[0] a path) with its standard error appended to
  // `error_file` and its standard output readable through read_line().
  [[nodiscard]] bool start(const std::vector<std::string>& argv, const std::filesystem::path& error_file);
  // The next line the program writes to its standard output (without the
  // line end); nullopt when none came within `limit` or the program ended.
  [[nodiscard]] std::optional<std::string> read_line(std::chrono::milliseconds limit);
  // SIGTERM, then SIGKILL when it has not ended after a few seconds; reaps it.
  void stop();
  [[nodiscard]] bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

}  // namespace pw::test
