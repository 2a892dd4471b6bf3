#pragma once
// The about box "关于 Pelliwick": the program icon, the version line, the
// maker line and the data directory in use.
#include <QDialog>

#include <filesystem>

namespace pw::app {

class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(const std::filesystem::path& data_dir, QWidget* parent = nullptr);

  // "Pelliwick邮箱管家 v1.20".
  [[nodiscard]] static QString version_line();
};

}  // namespace pw::app
