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
    // The design's window face is a narrow Windows sans; its stand-in is the
    // one for Arial, whose widths are close to it.
    return designFont(QStringLiteral("MS Sans Serif"), 11, true);
}
