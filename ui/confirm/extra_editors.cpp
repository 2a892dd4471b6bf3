#include "ui/confirm/extra_editors.h"

#include <QFileDialog>

#include "engine/extra_operations.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr int kBackupDirTitle = 61294;
constexpr size_t kBackupDirBytes = 260;

bool choose_backup_dir(QWidget* parent, ExtraOperations& extra) {
  const QString dir = QFileDialog::getExistingDirectory(parent, text(kBackupDirTitle), from_gb(extra.backup_dir));
  if (dir.isEmpty() || gb_size(dir) >= kBackupDirBytes) return false;
  extra.backup_dir = to_gb(dir);
  return true;
}

}  // namespace

bool QtExtraEditors::edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) {
  switch (operation) {
    case ExtraOperations::kBackup: return choose_backup_dir(parent, extra);
    default: return false;
  }
}

}  // namespace pw::ui
