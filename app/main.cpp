#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "base/program_dir.h"
#include "engine/check_once.h"
#include "ui/ui_text.h"

int main(int argc, char** argv) {
  // The headless check needs no display: it runs before any Qt object exists.
  if (pw::wants_check_once(argc, argv)) return pw::run_check_once(pw::ProgramDir::from_arguments(argc, argv));

  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(pw::ui::text(61204));
  window.setCentralWidget(new QLabel(window.windowTitle(), &window));
  window.resize(800, 600);
  window.show();
  return app.exec();
}
