#pragma once
// The check-box list of the binding dialogs: an unnamed 20-pixel column for
// the box and one named 400-pixel column, full-row selection.
#include <QTreeWidget>

namespace pw::ui {

[[nodiscard]] QTreeWidget* make_check_list(QWidget* parent, const QString& column, const char* object_name);
// The same with several named columns of the given widths.
struct CheckListColumn {
  QString title;
  int width;
};
[[nodiscard]] QTreeWidget* make_check_list(QWidget* parent, const QList<CheckListColumn>& columns,
                                           const char* object_name);
QTreeWidgetItem* add_check_row(QTreeWidget* list, const QString& text, bool ticked = false);
QTreeWidgetItem* add_check_row(QTreeWidget* list, const QStringList& texts, bool ticked = false);
[[nodiscard]] bool row_ticked(const QTreeWidget* list, int row);

}  // namespace pw::ui
