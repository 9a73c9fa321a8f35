#include "port_panel.h"

#include "design_font.h"

#include <QMouseEvent>

PortPanel::PortPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFont(designFont(QStringLiteral("Arial"), 16, true));
    setCursor(Qt::PointingHandCursor);
}

void PortPanel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void PortPanel::mouseReleaseEvent(QMouseEvent* event) {
    // Like a button: the click counts only if the mouse is let go over the panel.
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

void PortPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;
    event->accept();
}
