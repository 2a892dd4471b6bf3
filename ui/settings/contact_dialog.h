#pragma once
// The contact dialog "联系人": name, address and description of one person.
// "确定" insists on an address with an '@' and a '.' after it.
#include <QDialog>

#include "stores/contact.h"

class QLineEdit;
class QPlainTextEdit;

namespace pw::ui {

class MessageBoxes;

class CContactDialog : public QDialog {
  Q_OBJECT

 public:
  // Filled from `contact` when given (an edit), else empty.
  CContactDialog(MessageBoxes& boxes, const Contact* contact, QWidget* parent = nullptr);

  // The entered values over the contact given (its id kept); valid after OK.
  [[nodiscard]] const Contact& contact() const { return contact_; }

  void accept() override;

 private:
  MessageBoxes& boxes_;
  Contact contact_;
  QLineEdit* name_;
  QLineEdit* address_;
  QPlainTextEdit* description_;
};

}  // namespace pw::ui
