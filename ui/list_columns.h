#pragma once
// Lists that can be read: columns as wide as their content (up to a
// bound), the last one taking the rest, every cell's full text in its
// tooltip; and column widths the user set by hand kept across runs.
#include <QObject>
#include <QString>

#include <map>

class QSettings;
class QTreeView;
class QTreeWidgetItem;

namespace pw::ui {

// Sets the text of `column` and the same text as its tooltip, so a cut
// text can still be read whole.
void set_cell(QTreeWidgetItem* item, int column, const QString& text);

// Sizes the columns of a tree or list view to their header and content
// until the user sizes a column by hand; from then on the user's widths
// stand. The last column stretches to the view's edge.
class ColumnFitter : public QObject {
 public:
  static constexpr int kMaxWidth = 420;
  static constexpr int kRowsMeasured = 50;

  explicit ColumnFitter(QTreeView* view);

  // Sizes every column but the last to its content (at most kMaxWidth),
  // unless the user has sized one.
  void fit();
  // A narrower bound for one column (its full texts stay in the tooltips).
  void set_max_width(int column, int width) { max_widths_[column] = width; }

  // The user's widths under `key`; nothing when the columns were never sized
  // by hand.
  void save(QSettings& settings, const QString& key) const;
  void restore(const QSettings& settings, const QString& key);

 private:
  QTreeView* view_;
  std::map<int, int> max_widths_;
  bool user_sized_ = false;
  bool sizing_ = false;  // our own resizing is under way
};

}  // namespace pw::ui
