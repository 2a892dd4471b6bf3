#include "ui/check_list.h"

#include <QHeaderView>

namespace pw::ui {

QTreeWidget* make_check_list(QWidget* parent, const QString& column, const char* object_name) {
  return make_check_list(parent, {{column, 400}}, object_name);
}

QTreeWidget* make_check_list(QWidget* parent, const QList<CheckListColumn>& columns, const char* object_name) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(object_name));
  list->setColumnCount(static_cast<int>(columns.size()) + 1);
  QStringList titles{QString()};
  for (const CheckListColumn& c : columns) titles << c.title;
  list->setHeaderLabels(titles);
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->header()->setStretchLastSection(false);
  list->setColumnWidth(0, 20);
  for (int i = 0; i < columns.size(); ++i) list->setColumnWidth(i + 1, columns[i].width);
  return list;
}

QTreeWidgetItem* add_check_row(QTreeWidget* list, const QString& text, bool ticked) {
  return add_check_row(list, QStringList{text}, ticked);
}

QTreeWidgetItem* add_check_row(QTreeWidget* list, const QStringList& texts, bool ticked) {
  auto* item = new QTreeWidgetItem(list);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
  for (int i = 0; i < texts.size(); ++i) item->setText(i + 1, texts[i]);
  return item;
}

bool row_ticked(const QTreeWidget* list, int row) {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  return item && item->checkState(0) == Qt::Checked;
}

}  // namespace pw::ui
