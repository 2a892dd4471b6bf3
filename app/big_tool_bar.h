#pragma once
// The main toolbar: 32 x 32 pictures on buttons of 39 x 38 pixels, with a
// normal, a hot and a disabled picture each; tool tips and status prompts;
// dockable on any side.
#include <QToolBar>

namespace pw::app {

class CBigToolBar : public QToolBar {
  Q_OBJECT

 public:
  static constexpr QSize kButtonSize{39, 38};

  explicit CBigToolBar(const QString& title, QWidget* parent = nullptr);

  // Adds the command's button, sized as all buttons are.
  void add_button(QAction* action);
};

}  // namespace pw::app
