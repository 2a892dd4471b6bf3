#include "ui/settings/address_book_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "stores/address_book.h"
#include "ui/gb_qstring.h"
#include "ui/settings/contact_dialog.h"
#include "ui/settings/group_dialog.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr int kIdRole = Qt::UserRole;

uint32_t row_id(const QTreeWidgetItem* item) { return item->data(0, kIdRole).toUInt(); }

QPushButton* button(QWidget* parent, const QString& text, const char* name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

// The selected rows of `list` from the last to the first.
QList<QTreeWidgetItem*> selected_from_last(const QTreeWidget* list) {
  QList<QTreeWidgetItem*> rows;
  for (int i = list->topLevelItemCount() - 1; i >= 0; --i)
    if (list->topLevelItem(i)->isSelected()) rows << list->topLevelItem(i);
  return rows;
}

// A list's label above it, with its "+" and "-" when given.
QVBoxLayout* labelled(QWidget* parent, const QString& text, QTreeWidget* list, QPushButton* plus,
                      QPushButton* minus) {
  auto* top = new QHBoxLayout;
  auto* label = new QLabel(text, parent);
  label->setBuddy(list);
  top->addWidget(label, 1);
  if (plus) top->addWidget(plus);
  if (minus) top->addWidget(minus);
  auto* column = new QVBoxLayout;
  column->addLayout(top);
  column->addWidget(list);
  return column;
}

}  // namespace

QTreeWidget* make_contact_list(QWidget* parent, const char* object_name) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(object_name));
  list->setHeaderLabels({text(sid::kNameColumn), text(sid::kAddressColumn), text(sid::kDescriptionColumn)});
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int i = 0; i < 3; ++i) list->setColumnWidth(i, 100);
  return list;
}

QTreeWidgetItem* add_contact_row(QTreeWidget* list, const Contact& contact) {
  auto* item = new QTreeWidgetItem(list);
  item->setText(0, from_gb(contact.name));
  item->setText(1, from_gb(contact.address));
  // One line of the description is shown.
  item->setText(2, from_gb(contact.description).simplified());
  item->setData(0, kIdRole, contact.id);
  return item;
}

CAddressBookDialog::CAddressBookDialog(AddressBook& book, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), book_(book), boxes_(boxes) {
  setObjectName(QStringLiteral("AddressBookDialog"));
  setWindowTitle(ui::text("转发地址簿"));

  contacts_ = make_contact_list(this, "allContacts");
  members_ = make_contact_list(this, "members");
  groups_ = new QTreeWidget(this);
  groups_->setObjectName(QStringLiteral("groups"));
  groups_->setHeaderLabels({text(sid::kGroupColumn)});
  groups_->setRootIsDecorated(false);
  groups_->setSelectionMode(QAbstractItemView::SingleSelection);
  groups_->setColumnWidth(0, 200);

  QPushButton* add_contact_button = button(this, QStringLiteral("+"), "addContact");
  QPushButton* delete_contact_button = button(this, QStringLiteral("-"), "deleteContact");
  QPushButton* add_group_button = button(this, QStringLiteral("+"), "addGroup");
  QPushButton* delete_group_button = button(this, QStringLiteral("-"), "deleteGroup");
  add_to_group_ = button(this, QStringLiteral(">>"), "addToGroup");
  remove_from_group_ = button(this, QStringLiteral("<<"), "removeFromGroup");
  QPushButton* close = button(this, ui::text("关闭"), "close");

  auto* arrows = new QVBoxLayout;
  arrows->addStretch();
  arrows->addWidget(add_to_group_);
  arrows->addWidget(remove_from_group_);
  arrows->addStretch();
  auto* right = new QVBoxLayout;
  right->addLayout(labelled(this, ui::text("所有分组(&G)"), groups_, add_group_button, delete_group_button), 1);
  right->addLayout(labelled(this, ui::text("组中成员(&M)"), members_, nullptr, nullptr), 2);
  auto* lists = new QHBoxLayout;
  lists->addLayout(labelled(this, ui::text("所有人(&A)"), contacts_, add_contact_button, delete_contact_button), 1);
  lists->addLayout(arrows);
  lists->addLayout(right, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  layout->addLayout(bottom);

  connect(add_contact_button, &QPushButton::clicked, this, &CAddressBookDialog::add_contact);
  connect(delete_contact_button, &QPushButton::clicked, this, &CAddressBookDialog::delete_contacts);
  connect(add_group_button, &QPushButton::clicked, this, &CAddressBookDialog::add_group);
  connect(delete_group_button, &QPushButton::clicked, this, &CAddressBookDialog::delete_groups);
  connect(add_to_group_, &QPushButton::clicked, this, &CAddressBookDialog::add_to_group);
  connect(remove_from_group_, &QPushButton::clicked, this, &CAddressBookDialog::remove_from_group);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(groups_, &QTreeWidget::itemSelectionChanged, this, &CAddressBookDialog::group_clicked);
  // Each "-" only while it has something selected to delete.
  for (auto [list, remove] : {std::pair{contacts_, delete_contact_button}, std::pair{groups_, delete_group_button}}) {
    remove->setEnabled(false);
    connect(list, &QTreeWidget::itemSelectionChanged, remove,
            [list, remove] { remove->setEnabled(!list->selectedItems().isEmpty()); });
  }

  for (const Contact& c : book_.people()) add_contact_row(contacts_, c);
  for (const ContactGroup& g : book_.groups()) new QTreeWidgetItem(groups_, {from_gb(g.name)});
  groups_->clearSelection();
  members_->clear();
  current_group_ = -1;
  set_group_buttons(false);
  resize(760, 420);
}

void CAddressBookDialog::set_group_buttons(bool enabled) {
  add_to_group_->setEnabled(enabled);
  remove_from_group_->setEnabled(enabled);
}

QString CAddressBookDialog::current_group_name() const {
  const QTreeWidgetItem* item = groups_->topLevelItem(current_group_);
  return item ? item->text(0) : QString();
}

void CAddressBookDialog::add_contact() {
  CContactDialog dialog(boxes_, nullptr, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const uint32_t id = book_.add_contact(dialog.contact());
  if (const Contact* c = book_.find_contact(id)) add_contact_row(contacts_, *c);
}

void CAddressBookDialog::delete_contacts() {
  for (QTreeWidgetItem* row : selected_from_last(contacts_)) {
    const uint32_t id = row_id(row);
    (void)book_.delete_contact(id);
    delete row;
    // The contact has left its groups too: its member row goes with it.
    for (int i = members_->topLevelItemCount() - 1; i >= 0; --i)
      if (row_id(members_->topLevelItem(i)) == id) delete members_->topLevelItem(i);
  }
}

void CAddressBookDialog::add_group() {
  CGroupDialog dialog(book_, boxes_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const ContactGroup& group = book_.add_group(dialog.name());
  new QTreeWidgetItem(groups_, {from_gb(group.name)});
}

void CAddressBookDialog::delete_groups() {
  current_group_ = kFilling;  // the selection changes below are no clicks
  for (QTreeWidgetItem* row : selected_from_last(groups_)) {
    (void)book_.delete_group(to_gb(row->text(0)));
    delete row;
  }
  groups_->clearSelection();
  members_->clear();
  current_group_ = -1;
  set_group_buttons(false);
}

void CAddressBookDialog::group_clicked() {
  if (current_group_ == kFilling) return;
  const QList<QTreeWidgetItem*> selected = groups_->selectedItems();
  const int row = selected.isEmpty() ? -1 : groups_->indexOfTopLevelItem(selected.front());
  if (row == current_group_) return;
  members_->clear();
  current_group_ = row;
  set_group_buttons(row >= 0);
  if (row >= 0) fill_members();
}

void CAddressBookDialog::fill_members() {
  if (const ContactGroup* group = book_.find_group(to_gb(current_group_name())))
    for (const Contact* c : book_.members(*group)) add_contact_row(members_, *c);
}

void CAddressBookDialog::add_to_group() {
  ContactGroup* group = book_.find_group(to_gb(current_group_name()));
  if (!group) return;
  for (int i = 0; i < contacts_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = contacts_->topLevelItem(i);
    if (!row->isSelected()) continue;
    const uint32_t id = row_id(row);
    if (group->has(id) || !book_.add_member(*group, id)) continue;
    if (const Contact* c = book_.find_contact(id)) add_contact_row(members_, *c);
  }
}

void CAddressBookDialog::remove_from_group() {
  ContactGroup* group = book_.find_group(to_gb(current_group_name()));
  if (!group) return;
  for (QTreeWidgetItem* row : selected_from_last(members_)) {
    (void)book_.remove_member(*group, row_id(row));
    delete row;
  }
}

}  // namespace pw::ui
