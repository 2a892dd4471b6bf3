#pragma once
// The open and save file dialogs of the import and export commands, behind an
// interface so that tests can choose files without a modal loop.
#include <QString>
#include <QStringList>

class QWidget;

namespace pw::ui {

inline constexpr const char* kMailboxFileFilter = "Text Files (*.txt)";
inline constexpr const char* kRuleFileFilter = "Ruler Files (*.rul)";
inline constexpr const char* kTextFileFilter = "Text Files (*.txt)";
inline constexpr const char* kMailFileFilter = "Email Files (*.eml)";
inline constexpr const char* kAllFilesFilter = "All Files (*)";

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // An existing file chosen by the user, or an empty string on cancel.
  virtual QString open_file(QWidget* parent, const QString& filter) = 0;
  // A file name to write, or an empty string on cancel. The caller appends
  // the extension when it is missing.
  virtual QString save_file(QWidget* parent, const QString& filter) = 0;
  // Existing files chosen together, none on cancel.
  virtual QStringList open_files(QWidget* parent, const QString& filter);
  // An existing directory, or an empty string on cancel.
  virtual QString choose_folder(QWidget* parent, const QString& title);
};

class QtFileDialogs final : public FileDialogs {
 public:
  QString open_file(QWidget* parent, const QString& filter) override;
  QString save_file(QWidget* parent, const QString& filter) override;
};

}  // namespace pw::ui
