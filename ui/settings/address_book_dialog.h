#pragma once
// The address book "转发地址簿": every person, the groups, and the members
// of the current group. Every change acts on the address book at once.
#include <QDialog>

#include <cstdint>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw {
class AddressBook;
struct Contact;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

class CAddressBookDialog : public QDialog {
  Q_OBJECT

 public:
  CAddressBookDialog(AddressBook& book, MessageBoxes& boxes, QWidget* parent = nullptr);

  // The row of the current group; -1 for none.
  [[nodiscard]] int current_group() const { return current_group_; }

 private:
  void add_contact();
  void delete_contacts();
  void add_group();
  void delete_groups();
  void group_clicked();
  void add_to_group();
  void remove_from_group();
  void fill_members();
  void set_group_buttons(bool enabled);
  [[nodiscard]] QString current_group_name() const;

  AddressBook& book_;
  MessageBoxes& boxes_;
  QTreeWidget* contacts_;
  QTreeWidget* groups_;
  QTreeWidget* members_;
  QPushButton* add_to_group_;
  QPushButton* remove_from_group_;
  // Not yet set while the lists are filled, then the row of the current group.
  static constexpr int kFilling = -2;
  int current_group_ = kFilling;
};

// A contact's row of the person lists: name, address and description.
QTreeWidgetItem* add_contact_row(QTreeWidget* list, const Contact& contact);
// A person list: report view of name, address and description, full rows.
[[nodiscard]] QTreeWidget* make_contact_list(QWidget* parent, const char* object_name);

}  // namespace pw::ui
