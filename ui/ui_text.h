#pragma once
// Numbered texts of the string table as QString, for widgets.
#include <QString>

namespace pw::ui {

[[nodiscard]] QString text(int id);

}  // namespace pw::ui
