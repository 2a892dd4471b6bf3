#include <QApplication>

#include "app/pelliwick_app.h"
#include "engine/check_once.h"

int main(int argc, char** argv) {
  // The headless check needs no display: it runs before any Qt object exists.
  if (pw::wants_check_once(argc, argv)) return pw::run_check_once(pw::ProgramDir::from_arguments(argc, argv));

  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pelliwick"));
  // The window hides in the notification area; only the frame's close ends.
  QApplication::setQuitOnLastWindowClosed(false);

  pw::app::CPelliwickApp app(pw::app::AppOptions::from_arguments(argc, argv));
  if (!app.start()) return 0;
  QObject::connect(&app, &pw::app::CPelliwickApp::finished, &qt, &QCoreApplication::quit);
  const int code = QApplication::exec();
  app.exit();
  return code;
}
