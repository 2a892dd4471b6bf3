#pragma once
// The folder chooser of the backup and attachment actions.
#include <optional>
#include <string>

class QWidget;

namespace pw::ui {

class FileDialogs;
class MessageBoxes;

// Asks for a directory under the caption `title_id` ("请选择备份邮件的保存路径"
// or "请选择保存邮件附件路径"). The chosen directory as stored bytes; nullopt
// on cancel or when the path does not fit its field.
[[nodiscard]] std::optional<std::string> choose_folder(FileDialogs& files, MessageBoxes& boxes, QWidget* parent,
                                                       int title_id);

}  // namespace pw::ui
