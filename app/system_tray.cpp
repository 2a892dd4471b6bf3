#include "app/system_tray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/ui_text.h"

namespace pw::app {
namespace {

QString duration(unsigned seconds) {
  const unsigned h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  return h > 0 ? QString::asprintf("%u:%02u:%02u", h, m, s) : QString::asprintf("%u:%02u", m, s);
}

}  // namespace

QString tray_tool_tip(const QString& title, const TrayState& state) {
  QStringList lines{title};
  if (state.running)
    lines << (state.activity.isEmpty() ? ui::text(sid::kTrayRunning) : state.activity);
  else if (state.seconds_left > 0)
    lines << ui::text(sid::kTrayNextCheck).arg(duration(state.seconds_left));
  if (state.checked)
    lines << (state.last_ok ? ui::text(sid::kTrayLastActed).arg(state.last_time).arg(state.last_acted)
                            : ui::text(sid::kTrayLastFailed).arg(state.last_time));
  return lines.join(QLatin1Char('\n'));
}

CSystemTray::CSystemTray(const QIcon& icon, const QString& tip, QAction* show_main, QList<QAction*> commands,
                         QObject* parent, std::function<bool()> tray_there)
    : QObject(parent), menu_(new QMenu), tip_(tip), picture_(icon), tray_there_(std::move(tray_there)) {
  if (!tray_there_) tray_there_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
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
  if (look_for_tray()) return;
  look_again_ = new QTimer(this);
  look_again_->setInterval(kLookAgainMs);
  connect(look_again_, &QTimer::timeout, this, [this] {
    if (look_for_tray()) look_again_->stop();
  });
  look_again_->start();
}

bool CSystemTray::look_for_tray() {
  if (icon_) return true;
  if (!tray_there_()) return false;
  icon_ = new QSystemTrayIcon(picture_, this);
  icon_->setToolTip(tip_);
  icon_->setContextMenu(menu_);
  connect(icon_, &QSystemTrayIcon::activated, this, &CSystemTray::activate);
  icon_->show();
  if (look_again_) look_again_->stop();
  return true;
}

CSystemTray::~CSystemTray() {
  if (icon_) icon_->hide();
  delete menu_;
}

bool CSystemTray::shows_main(QSystemTrayIcon::ActivationReason reason) {
  return reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
}

void CSystemTray::activate(QSystemTrayIcon::ActivationReason reason) {
  if (shows_main(reason)) emit show_main_requested();
}

void CSystemTray::set_tool_tip(const QString& tip) {
  if (tip == tip_) return;
  tip_ = tip;
  if (icon_) icon_->setToolTip(tip);
}

bool CSystemTray::available() const { return icon_ && icon_->isVisible(); }

}  // namespace pw::app
