#include "app/system_tray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

namespace pw::app {

CSystemTray::CSystemTray(const QIcon& icon, const QString& tip, QAction* show_main, QList<QAction*> commands,
                         QObject* parent)
    : QObject(parent), menu_(new QMenu) {
  menu_->setObjectName(QStringLiteral("TrayMenu"));
  menu_->addAction(show_main);
  menu_->setDefaultAction(show_main);
  menu_->addSeparator();
  for (QAction* action : commands) {
    if (action)
      menu_->addAction(action);
    else
      menu_->addSeparator();
  }
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  icon_ = new QSystemTrayIcon(icon, this);
  icon_->setToolTip(tip);
  icon_->setContextMenu(menu_);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) emit show_main_requested();
  });
  icon_->show();
}

CSystemTray::~CSystemTray() {
  if (icon_) icon_->hide();
  delete menu_;
}

bool CSystemTray::available() const { return icon_ && icon_->isVisible(); }

}  // namespace pw::app
