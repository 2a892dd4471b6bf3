#pragma once
// Where the shipped HTML help lives: share/pelliwick/help beside the
// installed program's bin/, the data directory the build was configured to
// install into, the XDG data directories, and, for a program run from its
// build tree, the source tree's res/help.
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace pw::ui {
class MessageBoxes;
}

namespace pw::app {

// The help's start page, or an empty URL when no help is found.
[[nodiscard]] QUrl help_index();

// Shows the help with `open_url`. When no help is found, or nothing on this
// desktop can open it (no URL launcher), a box says where the help is.
void open_help(const std::function<bool(const QUrl&)>& open_url, ui::MessageBoxes& boxes, QWidget* parent);

}  // namespace pw::app
