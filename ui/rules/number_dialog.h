#pragma once
// The number dialog of the mail age (hours), the mail size (KB) and the
// confirmation countdown (seconds): greater or less, and a whole number
// that the arrows move by one and never below 0.
#include <QDialog>

#include <cstdint>

class QLineEdit;
class QRadioButton;

namespace pw::ui {

class MessageBoxes;

class NumberDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Use { hours, size, seconds };

  // `greater` is ignored for the countdown, whose radios are hidden.
  NumberDialog(Use use, int32_t value, bool greater, MessageBoxes& boxes, QWidget* parent = nullptr);

  // Valid once the dialog ended with OK.
  [[nodiscard]] int32_t value() const { return value_; }
  [[nodiscard]] bool greater() const;

  // The arrows: rewrite the field one up or down (not below 0), selected.
  void step(int delta);

  void accept() override;

 private:
  MessageBoxes& boxes_;
  int32_t value_;
  QRadioButton* greater_;
  QLineEdit* number_;
};

}  // namespace pw::ui
