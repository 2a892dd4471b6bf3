#pragma once
// The group dialog "分组": the name of a new group, which no other group may
// have, ignoring letter case.
#include <QDialog>

#include <string>

class QLineEdit;

namespace pw {
class AddressBook;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

class CGroupDialog : public QDialog {
  Q_OBJECT

 public:
  CGroupDialog(const AddressBook& book, MessageBoxes& boxes, QWidget* parent = nullptr);

  // The name entered (GB18030); valid after OK.
  [[nodiscard]] std::string name() const;

  void accept() override;

 private:
  const AddressBook& book_;
  MessageBoxes& boxes_;
  QLineEdit* name_;
};

}  // namespace pw::ui
