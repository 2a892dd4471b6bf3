#include "app/frame_icons.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

#include "ui/frame/command_ids.h"
#include "ui/painted_icon.h"

namespace pw::app {
namespace {

namespace cmd = ui::cmd;
using Painter = ui::IconPainter;

constexpr int kSize = 32;

void envelope(QPainter& p, const QColor& paper) {
  p.setPen(QPen(QColor(60, 60, 90), 1.5));
  p.setBrush(paper);
  p.drawRect(QRectF(3, 8, 22, 16));
  p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(14, 17), QPointF(25, 8)}));
}

void badge(QPainter& p, const QColor& colour, const Painter& mark) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(QRectF(17, 17, 14, 14));
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::white);
  mark(p);
}

void plus(QPainter& p) {
  p.drawLine(QPointF(24, 20), QPointF(24, 28));
  p.drawLine(QPointF(20, 24), QPointF(28, 24));
}

void document(QPainter& p) {
  p.setPen(QPen(QColor(70, 70, 70), 1.5));
  p.setBrush(QColor(255, 253, 235));
  p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(20, 3), QPointF(26, 9), QPointF(26, 29), QPointF(6, 29)}));
  p.setPen(QPen(QColor(120, 140, 190), 1.5));
  for (int y = 12; y <= 24; y += 4) p.drawLine(QPointF(10, y), QPointF(21, y));
}

void gear(QPainter& p, QPointF centre, qreal radius, const QColor& colour) {
  QPainterPath path;
  for (int i = 0; i < 8; ++i) {
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(45.0 * i);
    path.addRect(t.mapRect(QRectF(-radius * 0.22, -radius * 1.15, radius * 0.44, radius * 0.5)));
  }
  path.addEllipse(centre, radius * 0.8, radius * 0.8);
  path.setFillRule(Qt::WindingFill);
  QPainterPath hole;
  hole.addEllipse(centre, radius * 0.32, radius * 0.32);
  p.setPen(QPen(colour.darker(150), 1));
  p.setBrush(colour);
  p.drawPath(path.simplified().subtracted(hole));
}

Painter picture(int id) {
  switch (id) {
    case cmd::kResumeAll:
      return [](QPainter& p) {
        envelope(p, QColor(255, 250, 225));
        badge(p, QColor(40, 160, 60), [](QPainter& q) {
          q.setPen(Qt::NoPen);
          q.drawPolygon(QPolygonF({QPointF(22, 20), QPointF(28, 24), QPointF(22, 28)}));
        });
      };
    case cmd::kPauseAll:
      return [](QPainter& p) {
        envelope(p, QColor(235, 235, 235));
        badge(p, QColor(200, 50, 40), [](QPainter& q) {
          q.drawLine(QPointF(22, 20), QPointF(22, 28));
          q.drawLine(QPointF(26, 20), QPointF(26, 28));
        });
      };
    case cmd::kCheckAll:
      return [](QPainter& p) {
        envelope(p, QColor(255, 250, 225));
        badge(p, QColor(30, 110, 200), [](QPainter& q) {
          q.setBrush(Qt::NoBrush);
          q.drawArc(QRectF(20, 20, 8, 8), 90 * 16, 270 * 16);
          q.drawLine(QPointF(24, 20), QPointF(27, 19));
        });
      };
    case cmd::kAddMailbox:
      return [](QPainter& p) {
        envelope(p, QColor(255, 250, 225));
        badge(p, QColor(30, 150, 90), plus);
      };
    case cmd::kNewRule:
      return [](QPainter& p) {
        document(p);
        badge(p, QColor(30, 150, 90), plus);
      };
    case cmd::kConfigureRules:
      return [](QPainter& p) {
        document(p);
        gear(p, QPointF(23, 23), 7, QColor(230, 160, 40));
      };
    case cmd::kSettings:
      return [](QPainter& p) { gear(p, QPointF(16, 16), 12, QColor(140, 150, 170)); };
    case cmd::kFeedback:
      return [](QPainter& p) {
        p.setPen(QPen(QColor(40, 90, 160), 1.5));
        p.setBrush(QColor(210, 230, 255));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(3, 5, 26, 17), 6, 6);
        bubble.moveTo(9, 21);
        bubble.lineTo(7, 28);
        bubble.lineTo(15, 21);
        p.drawPath(bubble.simplified());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 160));
        for (int x = 10; x <= 22; x += 6) p.drawEllipse(QPointF(x, 13.5), 1.8, 1.8);
      };
    case cmd::kHelp:
      return [](QPainter& p) {
        p.setPen(QPen(QColor(20, 80, 160), 1.5));
        p.setBrush(QColor(60, 130, 220));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
      };
    default:
      return {};
  }
}

QIcon icon_of(const Painter& paint) { return ui::painted_icon(paint, QSize(kSize, kSize)); }

}  // namespace

QIcon program_icon() {
  // The installed scalable icon when the icon theme has it, else the same
  // picture built into the program.
  static const QIcon icon = QIcon::fromTheme(QStringLiteral("pelliwick"), QIcon(QStringLiteral(":/icons/pelliwick.svg")));
  if (!icon.pixmap(QSize(kSize, kSize)).isNull()) return icon;
  return drawn_program_icon();
}

QIcon drawn_program_icon() {
  return icon_of([](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 200));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    envelope(p, QColor(255, 250, 225));
    badge(p, QColor(40, 160, 60), [](QPainter& q) {
      q.setBrush(Qt::NoBrush);
      q.drawPolyline(QPolygonF({QPointF(20.5, 24), QPointF(23, 27), QPointF(28, 21)}));
    });
  });
}

QIcon toolbar_icon(int id) {
  Painter paint = picture(id);
  return paint ? icon_of(paint) : QIcon();
}

}  // namespace pw::app
