#pragma once
// Starting the program with the user's desktop session: an XDG autostart
// entry "autostart/Pelliwick.desktop" in the user's configuration directory
// whose Exec line starts the running executable with " -hide" (and with
// "--data-dir DIR" before it when the program runs on a data directory other
// than its default one). The option
// reads as on exactly when that entry exists, is not hidden, and its Exec
// line is the one set() writes for this executable; moving the program
// elsewhere turns it off.
#include <filesystem>
#include <string>

namespace pw {

class RunAtStartup {
 public:
  // `config_dir` is the user's configuration directory (normally
  // user_config_dir()); tests pass a temporary one. `data_dir` empty: the
  // program's default data directory.
  RunAtStartup(std::filesystem::path config_dir, std::filesystem::path executable,
               std::filesystem::path data_dir = {});

  // $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
  [[nodiscard]] static std::filesystem::path user_config_dir();

  [[nodiscard]] std::filesystem::path entry_file() const;
  // The Exec value: the executable path, quoted when it holds characters the
  // desktop entry format reserves, the data directory when one is given,
  // then " -hide".
  [[nodiscard]] std::string exec_line() const;

  [[nodiscard]] bool query() const;
  // Failures are silent for the user; the result is for the caller's log.
  [[nodiscard]] bool set() const;
  [[nodiscard]] bool remove() const;

 private:
  std::filesystem::path config_dir_;
  std::filesystem::path executable_;
  std::filesystem::path data_dir_;
};

}  // namespace pw
