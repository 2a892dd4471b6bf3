#include "ui/settings/recipient_picker_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "mail/address_list.h"
#include "stores/address_book.h"
#include "ui/check_list.h"
#include "ui/gb_qstring.h"
#include "ui/dialog_parts.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

QVBoxLayout* labelled(QWidget* parent, const QString& text, QTreeWidget* list) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(list);
  auto* column = new QVBoxLayout;
  column->addWidget(label);
  column->addWidget(list);
  return column;
}

}  // namespace

void add_address_once(std::string& result, std::string_view address) {
  const std::vector<std::string> entries = split_stored_list(result);
  if (std::find(entries.begin(), entries.end(), address) != entries.end()) return;
  result.append(address);
  result += ';';
}

CRecipientPickerDialog::CRecipientPickerDialog(const AddressBook& book, QWidget* parent)
    : QDialog(parent), book_(book) {
  setObjectName(QStringLiteral("RecipientPickerDialog"));
  setWindowTitle(ui::text("添加转发"));
  groups_ = make_check_list(this, {{text(sid::kGroupColumn), 200}}, "groups");
  contacts_ = make_check_list(
      this, {{text(sid::kNameColumn), 100}, {text(sid::kAddressColumn), 100}, {text(sid::kDescriptionColumn), 100}},
      "contacts");
  for (const ContactGroup& g : book_.groups()) add_check_row(groups_, from_gb(g.name));
  for (const Contact& c : book_.people())
    add_check_row(contacts_, {from_gb(c.name), from_gb(c.address), from_gb(c.description).simplified()});


  auto* lists = new QHBoxLayout;
  lists->addLayout(labelled(this, ui::text("添加分组(&G)"), groups_), 2);
  lists->addLayout(labelled(this, ui::text("添加个人(&P)"), contacts_), 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  add_ok_cancel(this, layout);
  resize(600, 360);
}

void CRecipientPickerDialog::accept() {
  result_.clear();
  for (int i = 0; i < groups_->topLevelItemCount(); ++i) {
    if (!row_ticked(groups_, i) || static_cast<size_t>(i) >= book_.groups().size()) continue;
    for (const Contact* c : book_.members(book_.groups()[i])) add_address_once(result_, c->address);
  }
  for (int i = 0; i < contacts_->topLevelItemCount(); ++i)
    if (row_ticked(contacts_, i) && static_cast<size_t>(i) < book_.people().size())
      add_address_once(result_, book_.people()[i].address);
  QDialog::accept();
}

std::string pick_forward_recipients(QWidget* parent, const AddressBook& book) {
  CRecipientPickerDialog picker(book, parent);
  return picker.exec() == QDialog::Accepted ? picker.result() : std::string();
}

}  // namespace pw::ui
