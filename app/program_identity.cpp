#include "program_identity.h"

#include "tfcomm.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>

void setProgramIdentity() {
    // The application name, not the display name: the latter would be
    // appended to the window caption on some platforms. On X11 it is also
    // the class of the window (WM_CLASS) that docks match the launcher by.
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    // With the application name, where the default settings store lives.
    QCoreApplication::setOrganizationName(QStringLiteral("MeterLink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(METERLINK_VERSION));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setDesktopFileName(QStringLiteral("meterlink"));
}

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "MeterLink: a live copy of a 6000-count multimeter's display with a Pass/Fail verdict\n"
        "against limits, read from a serial port or the meter's USB cable.\n"
        "The limits, record limit, page size, sampling interval, Repeat and COM port\n"
        "are kept from one run to the next.\n"
        "\n"
        "Environment:\n"
        "  METERLINK_COM1 ... METERLINK_COM4  the device COM 1 to COM 4 open\n"
        "                                     (default /dev/ttyS0 to /dev/ttyS3)\n"
        "  METERLINK_HID=sim:SOCKET           use the cable that \"meterlink-cli simulate\n"
        "                                     --usb SOCKET\" plays instead of the system's\n"
        "                                     USB devices"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(QStringLiteral("reset"),
                                        QStringLiteral("Start from the default settings, forgetting every setting "
                                                       "kept from earlier runs.")));
}

bool asksForInformationOnly(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}
