#include "engine/key_info_action.h"

#include <cstdio>

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "base/safe_name.h"
#include "engine/mail_processor.h"
#include "engine/save_folder.h"
#include "engine/template_expander.h"
#include "rules/rule.h"

namespace pw {

std::string KeyInfoAction::record(std::time_t now, std::string_view text) {
  const LocalTime t = to_local(now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d %02d/%02d/%04d\r\n", t.hour, t.minute, t.second, t.month,
                t.day, t.year);
  std::string out = stamp;
  out.append(text);
  out += "\r\n";
  out.append(50, '=');
  out += "\r\n\r\n";
  return out;
}

std::filesystem::path KeyInfoAction::file_path(std::string_view gb_path) {
  std::filesystem::path path = path_from_gb(gb_path);
  // A name longer than the file system takes would fail every time.
  if (path.has_filename()) path.replace_filename(fitted_file_name(path.filename().native()));
  return path;
}

void KeyInfoAction::run_step(std::vector<uint8_t>& success) {
  mail_.run_for_rules(services_, ActionKind::key_info, success, [&](const Rule& rule, std::string& note) {
    note = SaveFolder::path_refusal(rule.key_info_file);
    if (!note.empty()) return false;
    const std::string text = TemplateExpander(mail_, &rule).expand(rule.key_info_template);
    // One append per record, so records of concurrent writers never interleave.
    return append_file(file_path(rule.key_info_file), record(services_.clock.now(), text), false, kPrivateFile);
  });
}

}  // namespace pw
