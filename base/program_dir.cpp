#include "base/program_dir.h"

#include <sys/stat.h>

#include <string>
#include <system_error>

namespace pw {

std::filesystem::path ProgramDir::executable_dir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

ProgramDir ProgramDir::from_arguments(int argc, char** argv) {
  const std::string_view flag = "--data-dir";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == flag && i + 1 < argc) return ProgramDir(argv[i + 1]);
    if (arg.size() > flag.size() + 1 && arg.substr(0, flag.size()) == flag && arg[flag.size()] == '=')
      return ProgramDir(std::string(arg.substr(flag.size() + 1)));
  }
  return ProgramDir(executable_dir());
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
