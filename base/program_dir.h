#pragma once
// The program directory: where every data file and directory lives. Normally
// the executable's directory; `--data-dir DIR` points it elsewhere.
#include <filesystem>
#include <string_view>

namespace pw {

class ProgramDir {
 public:
  explicit ProgramDir(std::filesystem::path root) : root_(std::move(root)) {}

  // The directory of the running executable (from /proc/self/exe).
  [[nodiscard]] static std::filesystem::path executable_dir();

  // The value of a `--data-dir DIR` or `--data-dir=DIR` argument when given,
  // else the executable's directory.
  [[nodiscard]] static ProgramDir from_arguments(int argc, char** argv);

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path file(std::string_view name) const { return root_ / name; }

  // Creates the working directories ("MailUID", "Log", "MailTemp",
  // "LocalMail") where missing; false when one cannot be created.
  [[nodiscard]] bool create_directories() const;

 private:
  std::filesystem::path root_;
};

}  // namespace pw
