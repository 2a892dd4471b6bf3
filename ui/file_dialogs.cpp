#include "ui/file_dialogs.h"

#include <QFileDialog>

namespace pw::ui {

QString QtFileDialogs::open_file(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString QtFileDialogs::save_file(QWidget* parent, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

}  // namespace pw::ui
