#include "base/program_dir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace pw {

std::filesystem::path ProgramDir::executable_dir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

ProgramDir ProgramDir::locate(const std::filesystem::path& data_dir) {
  return ProgramDir(locate(data_dir, executable_dir(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
}

std::filesystem::path ProgramDir::locate(const std::filesystem::path& data_dir,
                                         const std::filesystem::path& executable_dir, const char* xdg_data_home,
                                         const char* home) {
  if (!data_dir.empty()) return data_dir;
  if (holds_data(executable_dir)) return executable_dir;
  // A relative XDG_DATA_HOME is not a data home: it is ignored, as by other desktop programs.
  if (xdg_data_home && xdg_data_home[0] == '/') return std::filesystem::path(xdg_data_home) / "pelliwick";
  return std::filesystem::path(home ? home : "") / ".local" / "share" / "pelliwick";
}

bool ProgramDir::holds_data(const std::filesystem::path& dir) {
  for (const char* name : {"portable", "Mailbox", "System", "Ruler", "Friend", "Group", "MailUID"}) {
    std::error_code ec;
    if (std::filesystem::exists(dir / name, ec)) return true;
  }
  return false;
}

bool ProgramDir::create_directories() const {
  std::error_code ec;
  // The data directory holds passwords: only its owner may look into it. A
  // directory that already holds the data files is tightened as well; any
  // other one (a home directory given by mistake) is left alone.
  if (std::filesystem::create_directories(root_, ec) ||
      std::filesystem::exists(root_ / "Mailbox", ec) || std::filesystem::exists(root_ / "System", ec)) {
    ::chmod(root_.c_str(), 0700);
  }
  bool ok = true;
  for (const char* name : {"MailUID", "Log", "MailTemp", "LocalMail"}) {
    std::error_code ec;
    std::filesystem::create_directories(root_ / name, ec);
    if (!std::filesystem::is_directory(root_ / name, ec)) ok = false;
  }
  return ok;
}

}  // namespace pw
