#include "stores/run_at_startup.h"

#include <cstdlib>
#include <string_view>

#include "base/file_io.h"
#include "base/text_lines.h"

namespace pw {
namespace {

// Exec values are first unescaped as desktop entry strings (backslash
// sequences), then split into arguments, so a path with reserved characters
// is double-quoted with '"', '`', '$' and '\\' escaped, and every backslash
// is doubled once more for the string level. '%' starts a field code and is
// written "%%".
std::string quote_exec_argument(std::string_view arg) {
  bool needs_quotes = arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string_view::npos;
  std::string out;
  if (needs_quotes) out += '"';
  for (char c : arg) {
    if (c == '%') {
      out += "%%";
    } else if (needs_quotes && (c == '"' || c == '`' || c == '$' || c == '\\')) {
      out += c == '\\' ? "\\\\\\\\" : std::string("\\\\") + c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  if (needs_quotes) out += '"';
  return out;
}

}  // namespace

RunAtStartup::RunAtStartup(std::filesystem::path config_dir, std::filesystem::path executable,
                           std::filesystem::path data_dir)
    : config_dir_(std::move(config_dir)), executable_(std::move(executable)), data_dir_(std::move(data_dir)) {}

std::filesystem::path RunAtStartup::user_config_dir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".config";
}

std::filesystem::path RunAtStartup::entry_file() const { return config_dir_ / "autostart" / "Pelliwick.desktop"; }

std::string RunAtStartup::exec_line() const {
  std::string line = quote_exec_argument(executable_.string());
  if (!data_dir_.empty()) line += " --data-dir " + quote_exec_argument(data_dir_.string());
  return line + " -hide";
}

bool RunAtStartup::query() const {
  std::optional<std::string> text = read_file(entry_file(), 1 << 20);
  if (!text) return false;
  bool exec_matches = false;
  bool hidden = false;
  bool in_entry = false;
  std::string_view rest(*text);
  while (!rest.empty()) {
    std::string_view line = take_line(rest);
    if (!line.empty() && line.front() == '[') {
      in_entry = line == "[Desktop Entry]";
      continue;
    }
    if (!in_entry) continue;
    if (line.starts_with("Exec=")) exec_matches = line.substr(5) == exec_line();
    if (line == "Hidden=true") hidden = true;
  }
  return exec_matches && !hidden;
}

bool RunAtStartup::set() const {
  std::error_code ec;
  std::filesystem::create_directories(entry_file().parent_path(), ec);
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Pelliwick\n"
      "Exec=" + exec_line() + "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  return write_file_atomic(entry_file(), text);
}

bool RunAtStartup::remove() const {
  std::error_code ec;
  std::filesystem::remove(entry_file(), ec);
  return !ec;
}

}  // namespace pw
