#pragma once
// A plain list of the address book's people to pick forward recipients
// from, each with a check box.
#include <QDialog>

#include <string>

class QListWidget;

namespace pw {
class AddressBook;
}

namespace pw::ui {

class RecipientListDialog : public QDialog {
  Q_OBJECT

 public:
  explicit RecipientListDialog(const AddressBook& book, QWidget* parent = nullptr);

  // The ticked addresses in list order, each followed by ';'.
  [[nodiscard]] std::string chosen() const;

 private:
  QListWidget* people_;
};

// The recipients the user picks from `book` for a forward, each ending in
// ';'; empty on cancel. The one place the forward dialog asks the book.
[[nodiscard]] std::string pick_forward_recipients(QWidget* parent, const AddressBook& book);

}  // namespace pw::ui
