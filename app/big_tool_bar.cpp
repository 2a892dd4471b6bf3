#include "app/big_tool_bar.h"

#include <QAction>

namespace pw::app {

CBigToolBar::CBigToolBar(const QString& title, QWidget* parent) : QToolBar(title, parent) {
  setObjectName(QStringLiteral("MainToolBar"));
  setIconSize(QSize(32, 32));
  setMovable(true);
  setFloatable(true);
  setAllowedAreas(Qt::AllToolBarAreas);
  setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void CBigToolBar::add_button(QAction* action) {
  addAction(action);
  if (QWidget* button = widgetForAction(action)) button->setFixedSize(kButtonSize);
}

}  // namespace pw::app
