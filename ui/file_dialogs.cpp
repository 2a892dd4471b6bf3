#include "ui/file_dialogs.h"

#include <QFileDialog>

namespace pw::ui {

QStringList FileDialogs::open_files(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
}

QString FileDialogs::choose_folder(QWidget* parent, const QString& title) {
  return QFileDialog::getExistingDirectory(parent, title);
}

QString QtFileDialogs::open_file(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString QtFileDialogs::save_file(QWidget* parent, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

}  // namespace pw::ui
