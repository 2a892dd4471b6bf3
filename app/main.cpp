#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "ui/ui_text.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(pw::ui::text(61204));
  window.setCentralWidget(new QLabel(window.windowTitle(), &window));
  window.resize(800, 600);
  window.show();
  return app.exec();
}
