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
    // the class of the window (WM_CLASS) that docks match the launcher by,
    // and it names the settings file and the data folder: a plain name, so
    // that paths need no quoting.
    QCoreApplication::setApplicationName(QStringLiteral("meterlink"));
    // With the application name, where the default settings store lives.
    QCoreApplication::setOrganizationName(QStringLiteral("MeterLink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(METERLINK_VERSION));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setDesktopFileName(QStringLiteral("meterlink"));
}

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "MeterLink: a live copy of a multimeter's display with a Pass/Fail verdict\n"
        "against limits, read from a serial port or the meter's USB cable. The\n"
        "shipped 6000-count meter is the default; the Meter menu chooses another.\n"
        "The limits, record limit, page size, sampling interval, Repeat, COM port,\n"
        "meter, Confirm readings and the file dialogs' last folder are kept from\n"
        "one run to the next.\n"
        "\n"
        "Environment:\n"
        "  METERLINK_COM1 ... METERLINK_COM4  the device COM 1 to COM 4 open\n"
        "                                     (default /dev/ttyS0 to /dev/ttyS3)\n"
        "  METERLINK_HID=sim:SOCKET           use the cable that meterlink-cli's USB\n"
        "                                     simulator plays on SOCKET instead of the\n"
        "                                     system's USB devices"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(QStringLiteral("reset"),
                                        QStringLiteral("Start from the default settings, forgetting every setting "
                                                       "kept from earlier runs.")));
    parser.addOption(meterOption());
    parser.addOption(QCommandLineOption(
        QStringList{QStringLiteral("port")},
        QStringLiteral("Open a window on the serial port DEVICE and connect it, reading the --meter given before it; "
                       "each --port opens one more window (a bench of meters)."),
        QStringLiteral("DEVICE")));
}

QCommandLineOption meterOption() {
    return QCommandLineOption(
        QStringList{QStringLiteral("meter")},
        QStringLiteral("Start with the meter MODEL (as \"meterlink-cli meters\" lists them, e.g. \"UT61E\") for this "
                       "run, instead of the one last chosen in the Meter menu."),
        QStringLiteral("MODEL"));
}

bool asksForInformationOnly(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}

const char* meterArgument(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--meter") == 0 || std::strcmp(argv[i], "-meter") == 0)
            return i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strncmp(argv[i], "--meter=", 8) == 0) return argv[i] + 8;
    }
    return nullptr;
}
