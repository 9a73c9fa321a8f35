#include "design_font.h"

#include <QApplication>
#include <QFontDatabase>

QFont designFont(const QString& family, int pixelSize, bool bold) {
    QFont f = QApplication::font();
    if (QFontDatabase::hasFamily(family)) {
        f.setFamily(family);
    } else if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
        f.setFamily(QStringLiteral("Liberation Sans"));   // drawn to Arial's metrics
    } else {
        f.setStretch(QFont::SemiCondensed);
    }
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QFont windowFont() {
    QFont f = QApplication::font();
    f.setStretch(QFont::SemiCondensed);
    f.setPixelSize(11);
    f.setBold(true);
    return f;
}
