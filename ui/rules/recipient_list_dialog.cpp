#include "ui/rules/recipient_list_dialog.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "stores/address_book.h"
#include "ui/gb_qstring.h"
#include "ui/rules/dialog_parts.h"

namespace pw::ui {
namespace {

constexpr int kAddressRole = Qt::UserRole;

}  // namespace

RecipientListDialog::RecipientListDialog(const AddressBook& book, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RecipientListDialog"));
  setWindowTitle(QStringLiteral("地址簿"));
  people_ = new QListWidget(this);
  people_->setObjectName(QStringLiteral("people"));
  for (const Contact& contact : book.people()) {
    if (contact.address.empty()) continue;
    QString shown = contact.name.empty() ? from_gb(contact.address)
                                         : QStringLiteral("%1 <%2>").arg(from_gb(contact.name), from_gb(contact.address));
    auto* item = new QListWidgetItem(shown, people_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setData(kAddressRole, QByteArray::fromStdString(contact.address));
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(people_);
  add_ok_cancel(this, layout);
  resize(360, 300);
}

std::string RecipientListDialog::chosen() const {
  std::string list;
  for (int i = 0; i < people_->count(); ++i) {
    const QListWidgetItem* item = people_->item(i);
    if (item->checkState() != Qt::Checked) continue;
    list += item->data(kAddressRole).toByteArray().toStdString();
    list += ';';
  }
  return list;
}

std::string pick_forward_recipients(QWidget* parent, const AddressBook& book) {
  RecipientListDialog dialog(book, parent);
  return dialog.exec() == QDialog::Accepted ? dialog.chosen() : std::string();
}

}  // namespace pw::ui
