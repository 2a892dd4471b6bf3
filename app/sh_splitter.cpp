#include "app/sh_splitter.h"

#include <algorithm>

namespace pw::app {

CSHSplitter::CSHSplitter(bool between_columns, int level, QWidget* parent)
    : QSplitter(between_columns ? Qt::Horizontal : Qt::Vertical, parent), level_(level) {
  setChildrenCollapsible(false);
}

int CSHSplitter::first_pane_size(int level) { return std::max(10, level > 3 ? 50 : 200 - 50 * level); }

void CSHSplitter::size_first_pane() {
  if (count() < 2) return;
  const int total = orientation() == Qt::Horizontal ? width() : height();
  const int first = first_pane_size(level_);
  setSizes({first, std::max(0, total - first - handleWidth())});
}

}  // namespace pw::app
