#pragma once
// The three two-way choices of a rule: "和/或" (all or any condition),
// "附件" (with or without attachment) and "删除邮件" (delete in any case or
// only after the other actions succeeded). A text and two radio buttons.
#include <QDialog>

class QButtonGroup;

namespace pw::ui {

class ChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Use { and_or, attachment, delete_mail };

  // `index` is the radio checked first: 0 for the upper one.
  ChoiceDialog(Use use, int index, QWidget* parent = nullptr);

  [[nodiscard]] int index() const;

 private:
  QButtonGroup* group_;
};

}  // namespace pw::ui
