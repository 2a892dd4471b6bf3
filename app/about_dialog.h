#pragma once
// The about box "关于 Pelliwick": the program icon, the version line and
// the maker line.
#include <QDialog>

namespace pw::app {

class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);

  // "Pelliwick邮箱管家 v1.20".
  [[nodiscard]] static QString version_line();
};

}  // namespace pw::app
