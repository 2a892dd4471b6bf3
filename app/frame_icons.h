#pragma once
// The program icon and the toolbar pictures, drawn here at any size from a
// 32 x 32 design, in a normal, a hot (brighter) and a disabled (grey) state.
#include <QIcon>

namespace pw::app {

// The program icon: the scalable one of the icon theme or of the program's
// resources; the drawn one where neither can be read (no SVG support).
[[nodiscard]] QIcon program_icon();
[[nodiscard]] QIcon drawn_program_icon();
// The toolbar picture of command `id`; a null icon for other ids.
[[nodiscard]] QIcon toolbar_icon(int id);

}  // namespace pw::app
