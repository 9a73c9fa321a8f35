// meterlink-snapshot: opens the main window, clicks "COM Connection" (or "USB
// Connection"), lets the link run for a while and saves a picture of the
// window. For machines without a display (run it under xvfb-run or with
// QT_QPA_PLATFORM=offscreen).

#include "app/tfcomm.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void usage(FILE* out) {
    std::fputs("usage: meterlink-snapshot [--usb] SECONDS PNG\n"
               "Shows the main window, connects COM 1 (set METERLINK_COM1 to the port's path),\n"
               "waits SECONDS and writes a picture of the window to PNG. With --usb it\n"
               "connects the USB cable instead (METERLINK_HID=sim:SOCKET for the simulated one).\n",
               out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    const bool usb = argc > 1 && std::strcmp(argv[1], "--usb") == 0;
    if (usb) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        usage(stderr);
        return 2;
    }
    char* end = nullptr;
    const double seconds = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(seconds >= 0) || seconds > 3600) {
        std::fprintf(stderr, "meterlink-snapshot: SECONDS must be a number from 0 to 3600\n");
        return 2;
    }
    const QString pngPath = QString::fromLocal8Bit(argv[2]);

    // The window keeps a journal: in a scratch data folder, never the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    TFCOMM window;
    window.show();

    const QString buttonName = usb ? QStringLiteral("USBCon") : QStringLiteral("COMCon");
    auto* button = window.findChild<QAbstractButton*>(buttonName);
    if (!button) {
        std::fprintf(stderr, "meterlink-snapshot: the window has no %s button\n", qPrintable(buttonName));
        return 1;
    }
    // Click once the window is up, as a user would.
    QTimer::singleShot(0, button, [button] { button->click(); });

    int result = 1;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &window, [&] {
        // A port that would not open, or a missing cable, shows as a message box, outside the picture.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                std::fprintf(stderr, "meterlink-snapshot: the window says: %s\n", qPrintable(box->text()));
        const QPixmap picture = window.grab();
        if (picture.isNull()) {
            std::fprintf(stderr, "meterlink-snapshot: could not grab the window\n");
        } else if (!picture.save(pngPath, "PNG")) {
            std::fprintf(stderr, "meterlink-snapshot: could not write %s\n", argv[2]);
        } else {
            result = 0;
        }
        // Leaves every event loop, a message box's included.
        QApplication::exit(result);
    });
    app.exec();
    return result;
}
