#include "engine/backup_action.h"

#include <cstdio>

#include "base/code_page.h"
#include "base/local_time.h"
#include "engine/backup_ahead.h"
#include "engine/mail_processor.h"
#include "engine/save_folder.h"
#include "mail/address_list.h"
#include "res/language.h"
#include "res/string_ids.h"
#include "rules/rule.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_account.h"

namespace pw {

std::string BackupAction::file_stem(std::time_t now, std::string_view sender_address) {
  // Mails come in bursts from one sender: within one second they share the
  // stem, which is worked out once.
  struct Last {
    std::time_t now = -1;
    std::string sender;
    std::string stem;
  };
  thread_local Last last;
  if (last.now == now && last.sender == sender_address) return last.stem;
  const LocalTime t = to_local(now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "date(%04d-%02d-%02d) time(%02d.%02d.%02d) from(", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string name = stamp;
  name.append(sender_address);
  name += ')';
  last = Last{now, std::string(sender_address), SaveFolder::clean_name(name, "mail")};
  return last.stem;
}

bool BackupAction::whole_mail() {
  if (!whole_) whole_ = mail_.ensure_whole_mail(services_.host);
  return *whole_;
}

bool BackupAction::back_up(std::string_view dir) {
  MailboxAccount& account = mail_.account();
  const std::optional<SaveFolder> folder = SaveFolder::open(dir, account.address(), "BackupMail");
  if (!folder) return false;
  const std::string stem = file_stem(services_.clock.now(), sender_address(mail_.sender()));
  const std::string name = stem + ".eml";
  constexpr SaveFolder::Numbering numbering = SaveFolder::Numbering::before_extension;
  std::optional<SaveFolder::Unnamed> ready;
  if (services_.backups_ahead) ready = services_.backups_ahead->take(folder->path(), mail_.content());
  std::optional<std::filesystem::path> path;
  if (ready) path = folder->write_new(name, numbering, std::move(*ready));
  // Written ahead but not named (the folder gone meanwhile, say): once
  // more from the start, as without.
  if (!path) path = folder->write_new(name, numbering, mail_.content());
  if (!path) return false;
  services_.local_mail.add(mail_.has_attachment(), account.address(), mail_.sender(), mail_.subject(), mail_.date(),
                           mail_.mail_size(), gb_from_path(*path));
  return true;
}

void BackupAction::run_step(std::vector<uint8_t>& success) {
  mail_.run_for_rules(services_, ActionKind::backup, success, [&](const Rule& rule, std::string& note) {
    note = SaveFolder::path_refusal(rule.backup_dir);
    return note.empty() && whole_mail() && back_up(rule.backup_dir);
  });
  const ExtraOperations& extra = mail_.extra();
  if (extra.has(ExtraOperations::kBackup)) {
    const std::string refusal = SaveFolder::path_refusal(extra.backup_dir);
    const bool ok = refusal.empty() && whole_mail() && back_up(extra.backup_dir);
    mail_.log_operation(services_, res::record_text(sid::kOneOffBackup) + extra.backup_dir + refusal, ok);
  }
}

}  // namespace pw
