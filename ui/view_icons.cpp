#include "ui/view_icons.h"

#include <QPainter>

#include <vector>

#include "ui/painted_icon.h"

namespace pw::ui {
namespace {

void draw_envelope(QPainter& g, QColor body, QColor dot) {
  g.setPen(QPen(Qt::darkGray, 1));
  g.setBrush(body);
  g.drawRect(QRectF(1.5, 3.5, 13, 9));
  g.drawLine(QPointF(1.5, 3.5), QPointF(8, 9));
  g.drawLine(QPointF(14.5, 3.5), QPointF(8, 9));
  if (dot.isValid()) {
    g.setPen(Qt::NoPen);
    g.setBrush(dot);
    g.drawEllipse(QRectF(9, 9, 6.5, 6.5));
  }
}

// An envelope, with an optional coloured dot in its lower right corner.
QIcon envelope(QColor body, QColor dot = QColor(), int width = 16) {
  return painted_icon([body, dot](QPainter& g) { draw_envelope(g, body, dot); }, QSize(width, 16));
}

// The last check's mark in the upper left corner: a green tick, a red
// badge with a cross, or a grey bar.
void draw_check_mark(QPainter& g, int last_check) {
  g.setRenderHint(QPainter::Antialiasing);
  const QRectF badge(0, 0, 8, 8);
  switch (last_check) {
    case 1:
      g.setPen(QPen(QColor(30, 150, 50), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      g.drawPolyline(QPolygonF({QPointF(1, 4), QPointF(3, 6.5), QPointF(7, 1)}));
      break;
    case 2:
    case 3:
      g.setPen(QPen(Qt::white, 1));
      g.setBrush(last_check == 2 ? QColor(210, 30, 30) : QColor(120, 120, 120));
      g.drawEllipse(badge);
      g.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
      if (last_check == 3) {
        g.drawLine(QPointF(2.5, 4), QPointF(5.5, 4));
        break;
      }
      g.drawLine(QPointF(2.5, 2.5), QPointF(5.5, 5.5));
      g.drawLine(QPointF(5.5, 2.5), QPointF(2.5, 5.5));
      break;
    default: break;
  }
}

QIcon folder() {
  return painted_icon(
      [](QPainter& g) {
        g.setPen(QPen(QColor(160, 120, 20), 1));
        g.setBrush(QColor(240, 200, 80));
        g.drawRect(QRectF(1.5, 4.5, 13, 9));
        g.drawRect(QRectF(1.5, 2.5, 5, 2));
      },
      QSize(16, 16));
}

QIcon paper(QColor mark) {
  return painted_icon(
      [mark](QPainter& g) {
        g.setPen(QPen(Qt::darkGray, 1));
        g.setBrush(Qt::white);
        g.drawRect(QRectF(3.5, 1.5, 9, 13));
        g.setPen(QPen(mark, 1.5));
        for (int y = 5; y <= 11; y += 3) g.drawLine(QPointF(5, y), QPointF(11, y));
      },
      QSize(16, 16));
}

// A bold stroke shape over a blank square.
QIcon strokes(QColor colour, std::initializer_list<QLineF> lines) {
  return painted_icon(
      [colour, shape = std::vector<QLineF>(lines)](QPainter& g) {
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QLineF& l : shape) g.drawLine(l);
      },
      QSize(16, 16));
}

QIcon disk() {
  return painted_icon(
      [](QPainter& g) {
        g.setPen(QPen(QColor(30, 60, 120), 1));
        g.setBrush(QColor(70, 110, 190));
        g.drawRect(QRectF(2.5, 2.5, 11, 11));
        g.setBrush(Qt::white);
        g.drawRect(QRectF(4.5, 2.5, 7, 4));
      },
      QSize(16, 16));
}

QIcon magnifier() {
  return painted_icon(
      [](QPainter& g) {
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(Qt::darkGray, 2));
        g.setBrush(QColor(210, 230, 250));
        g.drawEllipse(QRectF(2, 2, 8, 8));
        g.drawLine(QPointF(9, 9), QPointF(14, 14));
      },
      QSize(16, 16));
}

}  // namespace

QIcon remote_icon(int image) {
  switch (image) {
    case 1: return envelope(Qt::white);
    case 2: return strokes(QColor(40, 150, 60), {QLineF(3, 8, 6.5, 12), QLineF(6.5, 12, 13, 4)});
    case 3: return strokes(QColor(200, 40, 40), {QLineF(4, 4, 12, 12), QLineF(12, 4, 4, 12)});
    case 4: return strokes(QColor(40, 100, 200), {QLineF(2, 8, 13, 8), QLineF(9, 4, 13, 8), QLineF(9, 12, 13, 8)});
    case 5: return strokes(QColor(200, 130, 20), {QLineF(3, 8, 14, 8), QLineF(7, 4, 3, 8), QLineF(7, 12, 3, 8)});
    case 6: return disk();
    default: return magnifier();
  }
}

QIcon mailbox_icon(int image, int last_check) {
  if (image == 0 || last_check == 0) return mailbox_icon(image);
  const QColor body = image == 1 ? QColor(Qt::white) : QColor(225, 225, 225);
  const QColor dot = image == 1 ? QColor(40, 170, 60) : QColor(200, 60, 40);
  return painted_icon(
      [body, dot, last_check](QPainter& g) {
        draw_envelope(g, body, dot);
        draw_check_mark(g, last_check);
      },
      QSize(16, 16));
}

QIcon mailbox_icon(int image) {
  switch (image) {
    case 0: return folder();
    case 1: return envelope(Qt::white, QColor(40, 170, 60));
    default: return envelope(QColor(225, 225, 225), QColor(200, 60, 40));
  }
}

QIcon rule_icon(int image) { return image == 1 ? paper(QColor(40, 120, 200)) : paper(Qt::lightGray); }

QIcon info_tab_icon(int image) { return image == 0 ? envelope(Qt::white) : paper(Qt::darkGray); }

QIcon local_mail_icon(int image) {
  return image == 1 ? envelope(Qt::white, QColor(90, 90, 200), 20) : envelope(Qt::white, QColor(), 20);
}

QIcon held_mail_icon(int image) {
  return image == 1 ? envelope(Qt::white, QColor(40, 120, 200)) : envelope(QColor(225, 225, 225));
}

}  // namespace pw::ui
