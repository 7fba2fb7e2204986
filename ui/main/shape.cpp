#include "ui/main/shape.h"

#include <QPainter>
#include <algorithm>

namespace quva {

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::farbe_setzen(const QColor& farbe) {
  if (farbe == farbe_) return;
  farbe_ = farbe;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(farbe_);
  const qreal radius = std::min(width(), height()) / 8.0;
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

}  // namespace quva
