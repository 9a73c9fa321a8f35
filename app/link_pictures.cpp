#include "app/link_pictures.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// Each picture is drawn in a fixed logical canvas and scaled to the size asked
// for, so the shapes keep their proportions at any size.
QPixmap blank(QSize size) {
    QPixmap pixmap(size.expandedTo(QSize(1, 1)));
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void beginCanvas(QPainter& p, QSize size, qreal width, qreal height) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / width, size.height() / height);
}

const QColor kOutline(40, 40, 40);

}  // namespace

QPixmap linkPicture(bool active, QSize size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    beginCanvas(p, pixmap.size(), 36, 29);
    const QColor meterScreen = active ? QColor(60, 230, 90) : QColor(85, 85, 85);
    const QColor pcScreen = active ? QColor(40, 210, 235) : QColor(85, 85, 85);

    // cable first, so both ends tuck under the devices
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable(QPointF(7, 26));
    cable.cubicTo(QPointF(10, 30), QPointF(21, 30), QPointF(27, 24));
    p.drawPath(cable);

    // the meter: yellow body, display, dial
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(245, 190, 20));
    p.drawRoundedRect(QRectF(1.5, 2.5, 11, 24), 2, 2);
    p.setBrush(meterScreen);
    p.drawRect(QRectF(3.5, 5, 7, 6));
    p.setBrush(QColor(70, 70, 70));
    p.drawEllipse(QPointF(7, 18), 3, 3);

    // the computer: monitor with stand
    p.setBrush(QColor(200, 200, 205));
    p.drawRoundedRect(QRectF(16.5, 3.5, 18, 15), 1.5, 1.5);
    p.setBrush(pcScreen);
    p.drawRect(QRectF(18.5, 5.5, 14, 11));
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(QRectF(24, 18.5, 3, 3));
    p.drawRoundedRect(QRectF(20.5, 21.5, 10, 2.5), 1, 1);
    return pixmap;
}

QPixmap sendPicture(QSize size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    beginCanvas(p, pixmap.size(), 36, 29);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 1.5, 30, 20), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(16, 22, 4, 3));
    p.drawRoundedRect(QRectF(10, 25, 16, 3), 1, 1);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    font.setBold(true);
    QPainterPath letter;
    letter.addText(0, 0, font, QStringLiteral("S"));
    const QRectF ink = letter.boundingRect();
    p.drawPath(letter.translated(QPointF(18, 11.5) - ink.center()));
    return pixmap;
}

QPixmap deltaPicture(QSize size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    beginCanvas(p, pixmap.size(), 24, 24);
    QPen pen(Qt::black, 2.6);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({{12, 3}, {22, 21}, {2, 21}}));
    return pixmap;
}

QPixmap applicationIcon(int size) {
    QPixmap pixmap = blank(QSize(size, size));
    QPainter p(&pixmap);
    beginCanvas(p, pixmap.size(), 64, 64);

    // probe leads behind the body
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawPath([] {
        QPainterPath lead(QPointF(38, 55));
        lead.cubicTo(QPointF(40, 64), QPointF(56, 62), QPointF(58, 44));
        return lead;
    }());
    p.setPen(QPen(QColor(30, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawPath([] {
        QPainterPath lead(QPointF(26, 55));
        lead.cubicTo(QPointF(24, 64), QPointF(8, 62), QPointF(6, 44));
        return lead;
    }());

    p.setPen(QPen(kOutline, 2));
    p.setBrush(QColor(245, 190, 20));
    p.drawRoundedRect(QRectF(13, 3, 38, 56), 7, 7);
    p.setBrush(QColor(60, 60, 60));
    p.drawRoundedRect(QRectF(17, 7, 30, 48), 4, 4);

    // display with a reading
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(195, 225, 175));
    p.drawRect(QRectF(20, 10, 24, 13));
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(11);
    font.setBold(true);
    QPainterPath reading;
    reading.addText(0, 0, font, QStringLiteral("8.8"));
    p.setBrush(QColor(20, 20, 20));
    p.drawPath(reading.translated(QPointF(32, 16.5) - reading.boundingRect().center()));

    // rotary switch
    p.setPen(QPen(QColor(20, 20, 20), 1.5));
    p.setBrush(QColor(150, 150, 150));
    p.drawEllipse(QPointF(32, 36), 8, 8);
    p.setPen(QPen(QColor(20, 20, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 36), QPointF(27, 30));

    // input jacks
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QPointF(38, 50), 2.5, 2.5);
    p.setBrush(QColor(10, 10, 10));
    p.drawEllipse(QPointF(26, 50), 2.5, 2.5);
    return pixmap;
}
