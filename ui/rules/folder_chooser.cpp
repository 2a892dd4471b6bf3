#include "ui/rules/folder_chooser.h"

#include "ui/file_dialogs.h"
#include "ui/dialog_parts.h"
#include "ui/ui_text.h"

namespace pw::ui {

std::optional<std::string> choose_folder(FileDialogs& files, MessageBoxes& boxes, QWidget* parent, int title_id) {
  QString folder = files.choose_folder(parent, text(title_id));
  if (folder.isEmpty()) return std::nullopt;
  return stored_path(folder, boxes, parent);
}

}  // namespace pw::ui
