#pragma once
// Where the shipped HTML help lives: share/pelliwick/help beside the
// installed program's bin/, else the source tree's res/help (a build tree).
#include <QUrl>

namespace pw::app {

// The help's start page, or an empty URL when no help is found.
[[nodiscard]] QUrl help_index();

}  // namespace pw::app
