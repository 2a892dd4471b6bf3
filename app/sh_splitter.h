#pragma once
// A splitter that knows how deep it is nested: once its panes are in place
// its first pane gets 200 - 50 x level pixels along the split (50 beyond
// level 3, at least 10), so the outer one's left column is 200 pixels wide.
#include <QSplitter>

namespace pw::app {

class CSHSplitter : public QSplitter {
  Q_OBJECT

 public:
  // `between_columns`: the panes sit side by side; else one above the other.
  CSHSplitter(bool between_columns, int level, QWidget* parent = nullptr);

  [[nodiscard]] int level() const { return level_; }
  [[nodiscard]] static int first_pane_size(int level);

  // Gives the first pane its size along the split; call once the panes are
  // added and the splitter has its size.
  void size_first_pane();

 private:
  int level_;
};

}  // namespace pw::app
