#include "ui/painted_icon.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace pw::ui {
namespace {

void recolour(QImage& image, QIcon::Mode mode) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = line[x];
      if (mode == QIcon::Disabled) {
        const int g = 150 + qGray(c) / 3;
        line[x] = qRgba(g, g, g, qAlpha(c) * 2 / 3);
      } else {
        line[x] = qRgba(qMin(255, qRed(c) + 30), qMin(255, qGreen(c) + 30), qMin(255, qBlue(c) + 30), qAlpha(c));
      }
    }
  }
}

class PaintedIconEngine final : public QIconEngine {
 public:
  PaintedIconEngine(IconPainter paint, QSize design) : paint_(std::move(paint)), design_(design) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pm = scaledPixmap(rect.size() * ratio, mode, state, ratio);
    pm.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, pm);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // `size` is in device pixels when Qt asks for a scaled pixmap.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal) override {
    const QSize fitted = design_.scaled(size, Qt::KeepAspectRatio);
    QImage image(fitted, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      p.scale(qreal(fitted.width()) / design_.width(), qreal(fitted.height()) / design_.height());
      paint_(p);
    }
    if (mode == QIcon::Disabled || mode == QIcon::Active) {
      image = image.convertToFormat(QImage::Format_ARGB32);
      recolour(image, mode);
    }
    return QPixmap::fromImage(image);
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    return design_.scaled(size, Qt::KeepAspectRatio);
  }

  QIconEngine* clone() const override { return new PaintedIconEngine(paint_, design_); }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {design_}; }

 private:
  IconPainter paint_;
  QSize design_;
};

}  // namespace

QIcon painted_icon(IconPainter paint, QSize design) {
  return QIcon(new PaintedIconEngine(std::move(paint), design));
}

}  // namespace pw::ui
