#pragma once
// The program directory: where every data file and directory lives.
// `--data-dir DIR` when given; else the executable's directory when it holds
// the program's data already or a file named "portable" (an unpacked copy
// keeps working where it is); else the user's data directory,
// $XDG_DATA_HOME/pelliwick (~/.local/share/pelliwick).
#include <filesystem>
#include <string_view>

namespace pw {

class ProgramDir {
 public:
  explicit ProgramDir(std::filesystem::path root) : root_(std::move(root)) {}

  // The directory of the running executable (from /proc/self/exe).
  [[nodiscard]] static std::filesystem::path executable_dir();

  // `data_dir` when not empty, else the rule above for the running program.
  [[nodiscard]] static ProgramDir locate(const std::filesystem::path& data_dir);
  // The rule with its inputs given: the executable's directory and the
  // values of XDG_DATA_HOME and HOME (null when unset).
  [[nodiscard]] static std::filesystem::path locate(const std::filesystem::path& data_dir,
                                                    const std::filesystem::path& executable_dir,
                                                    const char* xdg_data_home, const char* home);
  // Whether `dir` holds a data file or directory of the program, or "portable".
  [[nodiscard]] static bool holds_data(const std::filesystem::path& dir);

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path file(std::string_view name) const { return root_ / name; }

  // Creates the directory itself (mode 0700: it holds passwords) and the
  // working directories ("MailUID", "Log", "MailTemp", "LocalMail") where
  // missing; false when one cannot be created.
  [[nodiscard]] bool create_directories() const;

 private:
  std::filesystem::path root_;
};

}  // namespace pw
