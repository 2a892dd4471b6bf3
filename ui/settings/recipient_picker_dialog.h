#pragma once
// The recipient picker "添加转发": groups and people of the address book with
// a check box each. OK gives the addresses of the ticked groups' members,
// then of the ticked people, each once and followed by ';'.
#include <QDialog>

#include <string>
#include <string_view>

class QTreeWidget;

namespace pw {
class AddressBook;
}  // namespace pw

namespace pw::ui {

class CRecipientPickerDialog : public QDialog {
  Q_OBJECT

 public:
  CRecipientPickerDialog(const AddressBook& book, QWidget* parent = nullptr);

  // The picked addresses (GB18030, "a;b;"); empty until OK.
  [[nodiscard]] const std::string& result() const { return result_; }

  void accept() override;

 private:
  const AddressBook& book_;
  QTreeWidget* groups_;
  QTreeWidget* contacts_;
  std::string result_;
};

// Appends `address` and ';' to `result` unless it is a whole entry of it.
void add_address_once(std::string& result, std::string_view address);

// Opens the picker over `book`; the picked addresses, or "" on cancel. The
// one place the forward dialog's "地址簿(&A)..." button asks the book.
[[nodiscard]] std::string pick_forward_recipients(QWidget* parent, const AddressBook& book);

}  // namespace pw::ui
