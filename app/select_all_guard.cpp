#include "app/select_all_guard.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace pw::app {

bool SelectAllGuard::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride) return false;
  auto* view = qobject_cast<QAbstractItemView*>(watched);
  if (!view || view->selectionMode() == QAbstractItemView::SingleSelection ||
      view->selectionMode() == QAbstractItemView::NoSelection)
    return false;
  if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) event->accept();  // the view's own key press
  return false;
}

}  // namespace pw::app
