#pragma once
// Icons drawn by code at whatever size and device pixel ratio they are
// shown, so they stay sharp on scaled displays. The drawing works in a
// design box (for example 32 x 32) that is scaled to the requested size;
// the active mode is drawn brighter and the disabled one grey.
#include <QIcon>

#include <functional>

class QPainter;

namespace pw::ui {

using IconPainter = std::function<void(QPainter&)>;

[[nodiscard]] QIcon painted_icon(IconPainter paint, QSize design);

}  // namespace pw::ui
