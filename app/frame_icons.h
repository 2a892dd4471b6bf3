#pragma once
// The program icon and the toolbar pictures, drawn here: 32 x 32 images in
// a normal, a hot (brighter) and a disabled (grey) state.
#include <QIcon>

namespace pw::app {

[[nodiscard]] QIcon program_icon();
// The toolbar picture of command `id`; a null icon for other ids.
[[nodiscard]] QIcon toolbar_icon(int id);

}  // namespace pw::app
