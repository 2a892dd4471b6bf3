#include "ui/mail/mail_desk.h"

#include "base/code_page.h"
#include "base/file_io.h"
#include "engine/engine_host.h"
#include "engine/forward_action.h"
#include "engine/mail_processor.h"
#include "engine/mail_sender.h"
#include "engine/pending_deletion.h"
#include "engine/reply_action.h"
#include "res/string_ids.h"
#include "stores/local_mail_record.h"
#include "stores/mailbox_list.h"
#include "ui/rules/extra_editors.h"
#include "ui/message_boxes.h"
#include "ui/rules/folder_chooser.h"
#include "ui/settings/recipient_picker_dialog.h"

namespace pw::ui {

bool ask_forward(const MailDesk& desk, QWidget* parent, ExtraOperations& extra) {
  const AddressBook* book = desk.address_book;
  return edit_extra_forward(parent, extra, desk.boxes, [book](QWidget* p) {
    return book ? pick_forward_recipients(p, *book) : std::string();
  });
}

bool ask_reply(const MailDesk& desk, QWidget* parent, ExtraOperations& extra) {
  return edit_extra_reply(parent, extra, desk.boxes, desk.files);
}

RemoteServices remote_services(const MailDesk& desk) {
  RemoteServices s{desk.host, desk.log, desk.local_mail, desk.clock, desk.boxes, desk.smtp, desk.viewer};
  s.forward_dialog = [desk](QWidget* parent, ExtraOperations& extra) { return ask_forward(desk, parent, extra); };
  s.reply_dialog = [desk](QWidget* parent, ExtraOperations& extra) { return ask_reply(desk, parent, extra); };
  s.backup_dir = [desk](QWidget* parent) {
    return choose_folder(desk.files, desk.boxes, parent, sid::kChooseBackupFolder).value_or(std::string());
  };
  s.pop3 = desk.pop3;
  return s;
}

// A saved mail with the account it came from; a stand-in account when that
// one is gone, so the mail can still be shown and answered.
struct SavedMailCommands::Opened {
  std::shared_ptr<MailboxAccount> account;
  std::unique_ptr<MailProcessor> mail;
};

std::unique_ptr<SavedMailCommands::Opened> SavedMailCommands::open(const LocalMailRecord& record) const {
  std::optional<std::string> text = read_file(path_from_gb(record.path));
  if (!text) return nullptr;
  auto opened = std::make_unique<Opened>();
  opened->account = desk_.mailboxes.find(record.account);
  if (!opened->account) {
    MailboxRecord stand_in;
    stand_in.address = record.account;
    opened->account = std::make_shared<MailboxAccount>(stand_in, true, std::filesystem::path());
  }
  MailSummary summary;
  summary.mail_text = std::move(*text);
  summary.full_text = true;
  summary.size = static_cast<uint32_t>(summary.mail_text.size());
  opened->mail = std::make_unique<MailProcessor>(std::move(summary), *opened->account);
  return opened;
}

void SavedMailCommands::view(QWidget* parent, const LocalMailRecord& record) {
  std::unique_ptr<Opened> opened = open(record);
  if (!opened) {
    (void)desk_.boxes.show(parent, MessageKind::input_error, sid::kUnreadableMail);
    return;
  }
  CMailViewer::show_mail(*opened->mail, desk_.viewer, parent);
}

void SavedMailCommands::reply(QWidget* parent, const LocalMailRecord& record) {
  ExtraOperations extra;
  if (!ask_reply(desk_, parent, extra)) return;
  extra.operations = ExtraOperations::kReply;
  act(record, extra, [](MailProcessor& mail, const ActionServices& services) {
    std::vector<uint8_t> no_rules;
    ReplyAction(mail, services).run_step(no_rules);
  });
}

void SavedMailCommands::forward(QWidget* parent, const LocalMailRecord& record) {
  ExtraOperations extra;
  if (!ask_forward(desk_, parent, extra)) return;
  extra.operations = ExtraOperations::kForward;
  act(record, extra, [](MailProcessor& mail, const ActionServices& services) {
    std::vector<uint8_t> no_rules;
    ForwardAction(mail, services).run_step(no_rules);
  });
}

SavedMailCommands::~SavedMailCommands() {
  for (Sending& sending : sendings_) sending.worker.join();
}

void SavedMailCommands::act(const LocalMailRecord& record, const ExtraOperations& extra,
                            std::function<void(MailProcessor&, const ActionServices&)> action) {
  std::unique_ptr<Opened> opened = open(record);
  if (!opened) return;
  opened->mail->extra() = extra;
  std::erase_if(sendings_, [](Sending& sending) {
    if (!sending.done->load()) return false;
    sending.worker.join();
    return true;
  });
  // The send runs beside the window, never in a loop nested on the UI
  // thread: the program can close meanwhile, and the destructor waits.
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread worker([this, opened = std::move(opened), action = std::move(action), done] {
    MailSender sender(desk_.smtp);
    PendingDeletionQueue unused;
    action(*opened->mail, {desk_.host, desk_.log, desk_.local_mail, sender, desk_.clock, unused});
    *done = true;
  });
  sendings_.push_back({std::move(worker), std::move(done)});
}

}  // namespace pw::ui
