#pragma once
// The program's command line, GNU style: `--help` and `--version` answer and
// end, `--check-once` runs one check without a window, `--data-dir DIR` and
// `--trace FILE` (also as `--opt=VALUE`), and `-hide`. Qt's own options
// (`-platform xcb`, `--style=Fusion` ...) pass through to the toolkit.
// Anything else is an error: the caller prints it and ends with status 2.
#include <filesystem>
#include <string>

#include "base/program_dir.h"

namespace pw::app {

struct CommandLine {
  enum class Mode { window, check_once, help, version, error };
  static constexpr int kUsageError = 2;

  Mode mode = Mode::window;
  bool hide = false;
  std::filesystem::path data_dir;  // empty: the data-location rule
  std::filesystem::path trace;     // empty: no protocol trace
  std::string error;               // Mode::error: what was wrong, in UTF-8

  [[nodiscard]] static CommandLine parse(int argc, char** argv);
  // The directory the run uses.
  [[nodiscard]] ProgramDir program_dir() const { return ProgramDir::locate(data_dir); }
};

// The texts printed for --help (naming the data directory in use), --version
// and a usage error, each ending in a line end, in UTF-8.
[[nodiscard]] std::string help_text(const ProgramDir& dir);
[[nodiscard]] std::string version_text();
[[nodiscard]] std::string usage_error_text(const std::string& error);

}  // namespace pw::app
