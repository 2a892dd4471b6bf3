#include "ui/check_list.h"

#include <QHeaderView>

namespace pw::ui {

QTreeWidget* make_check_list(QWidget* parent, const QString& column, const char* object_name) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(object_name));
  list->setColumnCount(2);
  list->setHeaderLabels({QString(), column});
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->header()->setStretchLastSection(false);
  list->setColumnWidth(0, 20);
  list->setColumnWidth(1, 400);
  return list;
}

QTreeWidgetItem* add_check_row(QTreeWidget* list, const QString& text, bool ticked) {
  auto* item = new QTreeWidgetItem(list);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
  item->setText(1, text);
  return item;
}

bool row_ticked(const QTreeWidget* list, int row) {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  return item && item->checkState(0) == Qt::Checked;
}

}  // namespace pw::ui
