#include "link_pictures.h"
#include "program_identity.h"
#include "tfcomm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace {

// Help and version on a terminal, with or without a display.
int answerInformation(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setProgramIdentity();
    QCoreApplication::setApplicationName(QStringLiteral("meterlink"));   // what the user typed
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);   // prints and exits
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (asksForInformationOnly(argc, argv))
        return answerInformation(argc, argv);

    QApplication app(argc, argv);
    setProgramIdentity();
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);   // an unknown option ends here with a message
    QApplication::setWindowIcon(QIcon(applicationIcon()));

    TFCOMM window;
    window.setWindowIcon(QIcon(applicationIcon()));
    window.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                               screen->availableGeometry()));
    window.show();
    // Asked over the window, once it is up.
    QTimer::singleShot(0, &window, [&window] { window.offerRecovery(); });
    return QApplication::exec();
}
