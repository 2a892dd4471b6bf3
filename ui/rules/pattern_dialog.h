#pragma once
// The body-pattern dialog "邮件格式": the pattern the mail body must match,
// checked on OK with the bad wildcard selected.
#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace pw::ui {

class MessageBoxes;

class PatternDialog : public QDialog {
  Q_OBJECT

 public:
  PatternDialog(const std::string& pattern, MessageBoxes& boxes, QWidget* parent = nullptr);

  // Valid once the dialog ended with OK.
  [[nodiscard]] const std::string& pattern() const { return pattern_; }

  void accept() override;

 private:
  MessageBoxes& boxes_;
  std::string pattern_;
  QPlainTextEdit* edit_;
};

}  // namespace pw::ui
