#pragma once
// The notification-area icon with its menu: "显示主窗体" (the default, shown
// bold), then the watch and check commands. A click or a double click shows
// and raises the main window (desktops with an AppIndicator tray report only
// the single click). Where the desktop has no notification area the icon is not shown
// and available() is false: the main window then never hides itself. A
// notification area that starts after the program (a panel coming up late
// in the session) is looked for every few seconds until it is there.
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

class QAction;
class QMenu;
class QTimer;

namespace pw::app {

// What the icon's tool tip tells besides the title.
struct TrayState {
  bool running = false;
  unsigned seconds_left = 0;  // to the next check; 0: none is coming
  bool checked = false;       // a check has ended since the start
  QString last_time;          // when it ended, "HH:MM"
  bool last_ok = true;
  size_t last_acted = 0;  // mails the rules acted on
  QString activity;  // while running: what the status bar says the check is doing
};

// The tool tip: the title, then the next check (or that one is running),
// then the last check's outcome, one per line.
[[nodiscard]] QString tray_tool_tip(const QString& title, const TrayState& state);

class CSystemTray : public QObject {
  Q_OBJECT

 public:
  static constexpr int kLookAgainMs = 3000;

  // `menu` entries are the frame's own actions; the tray does not own them.
  // `tray_there` tells whether the desktop has a notification area; null:
  // QSystemTrayIcon::isSystemTrayAvailable.
  CSystemTray(const QIcon& icon, const QString& tip, QAction* show_main, QList<QAction*> commands,
              QObject* parent = nullptr, std::function<bool()> tray_there = {});
  ~CSystemTray() override;

  [[nodiscard]] bool available() const;
  [[nodiscard]] QMenu* menu() const { return menu_; }
  void set_tool_tip(const QString& tip);

  // Whether an activation by `reason` shows the main window.
  [[nodiscard]] static bool shows_main(QSystemTrayIcon::ActivationReason reason);
  // What the icon does when activated by `reason`.
  void activate(QSystemTrayIcon::ActivationReason reason);
  // Shows the icon when the notification area is there now (the timer's
  // step, public for tests); true once the icon shows.
  bool look_for_tray();

 signals:
  void show_main_requested();

 private:
  QMenu* menu_;
  QSystemTrayIcon* icon_ = nullptr;
  QString tip_;
  QIcon picture_;
  std::function<bool()> tray_there_;
  QTimer* look_again_ = nullptr;
};

}  // namespace pw::app
