#include "ui/list_columns.h"

#include <QHeaderView>
#include <QSettings>
#include <QTreeView>
#include <QTreeWidgetItem>

namespace pw::ui {

void set_cell(QTreeWidgetItem* item, int column, const QString& text) {
  item->setText(column, text);
  item->setToolTip(column, text);
}

ColumnFitter::ColumnFitter(QTreeView* view) : QObject(view), view_(view) {
  QHeaderView* header = view->header();
  header->setStretchLastSection(true);
  header->setSectionResizeMode(QHeaderView::Interactive);
  // Measuring every row of a long list at each batch of new rows would hold
  // the window up: the rows in view and a few after them are measured.
  header->setResizeContentsPrecision(kRowsMeasured);
  connect(header, &QHeaderView::sectionResized, this, [this, header](int logical, int, int) {
    // The last column follows the view's width by itself.
    if (!sizing_ && logical != header->count() - 1) user_sized_ = true;
  });
}

void ColumnFitter::fit() {
  if (user_sized_) return;
  sizing_ = true;
  const int last = view_->header()->count() - 1;
  for (int column = 0; column < last; ++column) {
    if (view_->isColumnHidden(column)) continue;
    view_->resizeColumnToContents(column);  // the wider of header and content
    const auto bound = max_widths_.find(column);
    const int most = bound == max_widths_.end() ? kMaxWidth : bound->second;
    if (view_->columnWidth(column) > most) view_->setColumnWidth(column, most);
  }
  sizing_ = false;
}

void ColumnFitter::save(QSettings& settings, const QString& key) const {
  if (user_sized_) settings.setValue(key, view_->header()->saveState());
  else settings.remove(key);
}

void ColumnFitter::restore(const QSettings& settings, const QString& key) {
  const QByteArray state = settings.value(key).toByteArray();
  if (state.isEmpty()) return;
  sizing_ = true;
  const bool restored = view_->header()->restoreState(state);
  sizing_ = false;
  if (!restored) return;
  view_->header()->setStretchLastSection(true);
  user_sized_ = true;
}

}  // namespace pw::ui
