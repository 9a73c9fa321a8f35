#pragma once
// Pictures of windows under test, saved under build/artifacts/ to be looked at.

#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

inline void saveScreenshot(const QPixmap& picture, const char* name) {
    QDir().mkpath(QStringLiteral(METERLINK_ARTIFACTS));
    picture.save(QStringLiteral(METERLINK_ARTIFACTS "/") + QString::fromLatin1(name));
}

// The window with the box over it, as the user sees them.
inline QPixmap withBox(QWidget& window, QMessageBox* box) {
    QPixmap shot = window.grab();
    const QPixmap boxShot = box->grab();
    QPainter p(&shot);
    const QPoint at((shot.width() - boxShot.width()) / 2, (shot.height() - boxShot.height()) / 2);
    p.drawPixmap(at, boxShot);
    p.setPen(Qt::darkGray);
    p.drawRect(QRect(at, boxShot.size()).adjusted(-1, -1, 0, 0));
    return shot;
}
