#pragma once
// The notification-area icon with its menu: "显示主窗体" (the default, shown
// bold), then the watch and check commands. A double click shows the main
// window. Where the desktop has no notification area the icon is not shown
// and available() is false: the main window then never hides itself.
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace pw::app {

class CSystemTray : public QObject {
  Q_OBJECT

 public:
  // `menu` entries are the frame's own actions; the tray does not own them.
  CSystemTray(const QIcon& icon, const QString& tip, QAction* show_main, QList<QAction*> commands,
              QObject* parent = nullptr);
  ~CSystemTray() override;

  [[nodiscard]] bool available() const;
  [[nodiscard]] QMenu* menu() const { return menu_; }

 signals:
  void show_main_requested();

 private:
  QMenu* menu_;
  QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace pw::app
