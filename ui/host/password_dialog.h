#pragma once
// The password dialog ("密码错误"): opened when a POP3 or SMTP server refused
// the log-in, filled with the user name and password just refused, so the
// user can correct them or give up.
#include <QDialog>

#include <optional>

#include "net/login_prompt.h"

class QLineEdit;

namespace pw::ui {

class CPasswordDialog final : public QDialog {
 public:
  // The stored fields hold at most these many bytes.
  static constexpr size_t kUserLimit = 127;
  static constexpr size_t kPasswordLimit = 31;

  explicit CPasswordDialog(const LoginData& refused, QWidget* parent = nullptr);

  // The data as edited (GB18030).
  [[nodiscard]] LoginData login() const;

  // Shows the dialog modally: the edited data on "确定", nullopt on "取消".
  [[nodiscard]] static std::optional<LoginData> ask(QWidget* parent, const LoginData& refused);

 private:
  QLineEdit* user_;
  QLineEdit* password_;
};

}  // namespace pw::ui
