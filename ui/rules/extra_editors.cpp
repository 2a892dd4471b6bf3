#include "ui/rules/extra_editors.h"

#include <optional>

#include "engine/extra_operations.h"
#include "res/string_ids.h"
#include "ui/rules/folder_chooser.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/reply_dialog.h"

namespace pw::ui {

bool edit_extra_forward(QWidget* parent, ExtraOperations& extra, MessageBoxes& boxes,
                        const std::function<std::string(QWidget*)>& pick_recipients) {
  ForwardDialog dialog(extra.forward, boxes, pick_recipients, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  extra.forward = dialog.settings();
  return true;
}

bool edit_extra_reply(QWidget* parent, ExtraOperations& extra, MessageBoxes& boxes, FileDialogs& files) {
  // No body pattern: one-off texts are sent as typed.
  ReplyDialog dialog(extra.reply, std::nullopt, boxes, files, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  extra.reply = dialog.settings();
  return true;
}



bool QtExtraEditors::edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) {
  switch (operation) {
    case ExtraOperations::kForward: return edit_extra_forward(parent, extra, boxes_, pick_recipients_);
    case ExtraOperations::kReply: return edit_extra_reply(parent, extra, boxes_, files_);
    case ExtraOperations::kBackup: {
      std::optional<std::string> dir = choose_folder(files_, boxes_, parent, sid::kChooseBackupFolder);
      if (dir) extra.backup_dir = *dir;
      return dir.has_value();
    }
    default: return false;
  }
}

}  // namespace pw::ui
