#pragma once
// What the mail screens of the window share (the engine host, the stores,
// the boxes and file dialogs) and the commands built on it: remote
// management of an account, and viewing, replying to and forwarding a mail
// saved to disk.
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/extra_operations.h"
#include "net/smtp_delivery.h"
#include "ui/mail/mail_viewer.h"
#include "ui/mail/remote_manager.h"

namespace pw {
class AddressBook;
struct ActionServices;
class MailboxList;
struct LocalMailRecord;
}  // namespace pw

namespace pw::ui {

class FileDialogs;

struct MailDesk {
  EngineHost& host;
  OperationLog& log;
  LocalMailIndex& local_mail;
  MailboxList& mailboxes;
  const Clock& clock;
  MessageBoxes& boxes;
  FileDialogs& files;
  const AddressBook* address_book = nullptr;
  SmtpDeliveryOptions smtp = {};
  ViewerServices viewer = {};
  Pop3Options pop3 = {};  // how remote management opens its sessions
};

// The forward dialog filled from and into the forward fields of `extra`;
// false on cancel.
[[nodiscard]] bool ask_forward(const MailDesk& desk, QWidget* parent, ExtraOperations& extra);
// The reply dialog for the reply fields of `extra`; false on cancel.
[[nodiscard]] bool ask_reply(const MailDesk& desk, QWidget* parent, ExtraOperations& extra);

// Remote management's services with the real dialogs.
[[nodiscard]] RemoteServices remote_services(const MailDesk& desk);

// The commands of the information view on a saved mail.
class SavedMailCommands {
 public:
  explicit SavedMailCommands(MailDesk desk) : desk_(std::move(desk)) {}
  // Waits for the replies and forwards still being sent: shut the host down
  // first, so that none of them waits for the UI thread.
  ~SavedMailCommands();
  SavedMailCommands(const SavedMailCommands&) = delete;
  SavedMailCommands& operator=(const SavedMailCommands&) = delete;

  // The viewer; an unreadable file is told (sid::kUnreadableMail).
  void view(QWidget* parent, const LocalMailRecord& record);
  // The reply or forward dialog with empty fields, then the action on the
  // mail on a worker of its own (the command returns at once); an
  // unreadable file ends the command silently.
  void reply(QWidget* parent, const LocalMailRecord& record);
  void forward(QWidget* parent, const LocalMailRecord& record);

 private:
  struct Opened;
  [[nodiscard]] std::unique_ptr<Opened> open(const LocalMailRecord& record) const;
  // Reads the mail, gives it `extra` and starts `action` on it on a worker.
  void act(const LocalMailRecord& record, const ExtraOperations& extra,
           std::function<void(MailProcessor&, const ActionServices&)> action);

  struct Sending {
    std::thread worker;
    std::shared_ptr<std::atomic<bool>> done;
  };
  MailDesk desk_;
  std::vector<Sending> sendings_;
};

}  // namespace pw::ui
