#include "circle_shape.h"

#include <QPainter>

CircleShape::CircleShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void CircleShape::setBrushColor(const QColor& color) {
    if (color == brush_) return;
    brush_ = color;
    update();
}

void CircleShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = qMin(width(), height()) - 1;
    const QRectF circle((width() - 1 - d) / 2.0 + 0.5, (height() - 1 - d) / 2.0 + 0.5, d, d);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(brush_);
    p.drawEllipse(circle);
}
