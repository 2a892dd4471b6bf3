#pragma once
// The pop-up window "邮件格式" of the reply and key-information dialogs: the
// rule's body pattern in a resizable edit window beside the dialog, opened
// by the dialog's "*" button. PatternField keeps the pattern for the dialog
// and runs the pop-up's checks.
#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <string>

class QPlainTextEdit;

namespace pw::ui {

class MessageBoxes;

// A pattern holds at most 2047 bytes (a 2048-byte field).
inline constexpr size_t kPatternLimit = 2047;

class PatternPopup : public QWidget {
  Q_OBJECT

 public:
  PatternPopup(const std::string& pattern, MessageBoxes& boxes, QWidget* dialog);

  // The text as stored (CR LF line ends).
  [[nodiscard]] std::string pattern() const;
  // False, after "邮件格式长度超出了限定，请改的简短一些", when it is too long.
  [[nodiscard]] bool fits();
  void select_bytes(size_t begin, size_t end);

 signals:
  void closing(const std::string& pattern);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  MessageBoxes& boxes_;
  QPlainTextEdit* edit_;
};

class PatternField : public QObject {
  Q_OBJECT

 public:
  PatternField(std::string pattern, MessageBoxes& boxes, QWidget* dialog);

  [[nodiscard]] const std::string& pattern() const { return pattern_; }
  [[nodiscard]] PatternPopup* popup() const { return popup_; }

  // The "*" button: opens the pop-up, or brings the open one to the front.
  void open();
  // On the dialog's OK: takes the open pop-up's text; false when it is too
  // long, and OK must be refused.
  [[nodiscard]] bool take_open_text();
  // validate_pattern; on failure "请正确填写邮件格式" and the pop-up opens with
  // the bad range selected.
  [[nodiscard]] bool check();
  // Closes the pop-up without its checks (the dialog ended).
  void dismiss();

 private:
  std::string pattern_;
  MessageBoxes& boxes_;
  QWidget* dialog_;
  QPointer<PatternPopup> popup_;
};

}  // namespace pw::ui
