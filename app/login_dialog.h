#pragma once
// The login dialog "登录": one password field. OK closes it only when the
// typed text equals the stored login password byte for byte; otherwise it
// stays open, says nothing and puts the focus back in the field.
#include <QDialog>

#include <string>

class QLineEdit;

namespace pw::app {

class CLoginDialog : public QDialog {
  Q_OBJECT

 public:
  // `password` is the stored login password (GB18030).
  explicit CLoginDialog(std::string password, QWidget* parent = nullptr);

  void accept() override;

 private:
  std::string password_;
  QLineEdit* edit_;
};

}  // namespace pw::app
