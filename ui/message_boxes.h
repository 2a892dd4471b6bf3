#pragma once
// The message boxes of the dialogs and views. Widgets show them through this
// interface so that tests can answer questions and record errors without a
// modal loop.
#include <QString>

class QWidget;

namespace pw::ui {

enum class MessageKind {
  input_error,  // caption "错误", warning icon: a dialog field is wrong
  failure,      // caption "错误", error icon: a file could not be read or written
  question,     // caption "询问", question icon, Yes and No
  notice,       // caption "信息", information icon
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows `text` and waits for the user; true when a question was answered
  // with Yes (false for every other kind).
  virtual bool show(QWidget* parent, MessageKind kind, const QString& text) = 0;

  // The same with a numbered text.
  bool show(QWidget* parent, MessageKind kind, int text_id);
};

class QtMessageBoxes final : public MessageBoxes {
 public:
  using MessageBoxes::show;
  bool show(QWidget* parent, MessageKind kind, const QString& text) override;
};

}  // namespace pw::ui
