#include "app/command_line.h"

#include <array>
#include <string_view>

#include "res/string_table.h"

namespace pw::app {
namespace {

// Qt's own options; those with a value take the next argument too.
constexpr std::array<std::string_view, 13> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin",        "qmljsdebugger", "style",   "stylesheet",
    "display",  "geometry",           "qwindowgeometry", "qwindowtitle", "qwindowicon",   "session"};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

std::string replace_arg(std::string_view text, std::string_view value) {
  std::string out(text);
  if (auto at = out.find("%1"); at != std::string::npos) out.replace(at, 2, value);
  return out;
}

bool contains(auto list, std::string_view name) {
  for (std::string_view n : list)
    if (n == name) return true;
  return false;
}

}  // namespace

CommandLine CommandLine::parse(int argc, char** argv) {
  CommandLine line;
  auto fail = [&line](int text, std::string_view arg) {
    line.mode = Mode::error;
    line.error = replace_arg(res::text_utf8(text), arg);
    return line;
  };
  bool check_once = false;
  bool help = false;
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-hide") {
      line.hide = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-') return fail(sid::kUnknownOption, arg);
    const std::string_view body = arg.substr(arg[1] == '-' ? 2 : 1);
    const size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const bool has_inline = equals != std::string_view::npos;
    const bool long_form = arg.starts_with("--");
    // The value of an option that takes one: after '=' or the next argument.
    auto value = [&](std::string& out) {
      if (has_inline) {
        out = body.substr(equals + 1);
      } else if (i + 1 < argc) {
        out = argv[++i];
      } else {
        return false;
      }
      return !out.empty();
    };
    std::string v;
    if (long_form && (name == "data-dir" || name == "trace")) {
      if (!value(v)) return fail(sid::kMissingArgument, "--" + std::string(name));
      (name == "data-dir" ? line.data_dir : line.trace) = v;
    } else if (long_form && !has_inline && name == "check-once") {
      check_once = true;
    } else if (long_form && !has_inline && name == "help") {
      help = true;
    } else if (long_form && !has_inline && name == "version") {
      version = true;
    } else if (contains(kQtOptionsWithValue, name)) {
      if (!value(v)) return fail(sid::kMissingArgument, arg);
    } else if (!contains(kQtFlags, name) || has_inline) {
      return fail(sid::kUnknownOption, arg);
    }
  }
  line.mode = help ? Mode::help : version ? Mode::version : check_once ? Mode::check_once : Mode::window;
  return line;
}

std::string help_text(const ProgramDir& dir) {
  return std::string(res::text_utf8(sid::kUsage)) + "\n\n" +
         replace_arg(res::text_utf8(sid::kDataDirLine), dir.root().string()) + "\n";
}

std::string version_text() { return "pelliwick " PW_VERSION "\n"; }

std::string usage_error_text(const std::string& error) {
  return "pelliwick: " + error + "\n" + std::string(res::text_utf8(sid::kSeeHelp)) + "\n";
}

}  // namespace pw::app
