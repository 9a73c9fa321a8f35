#include "link_pictures.h"
#include "tfcomm.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The application name, not the display name: the latter would be
    // appended to the window caption on some platforms.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(applicationIcon()));

    TFCOMM window;
    window.setWindowIcon(QIcon(applicationIcon()));
    window.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                               screen->availableGeometry()));
    window.show();
    return QApplication::exec();
}
