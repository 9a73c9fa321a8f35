// The program's name, version and command line, as the desktop and a
// terminal see them.
#include "app/program_identity.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// Docks tie a running window to its launcher by the window's class, which on
// X11 is the application name.
TEST(ProgramIdentity, DesktopEntryNamesTheWindowsClass) {
    QFile entry(QStringLiteral(METERLINK_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(entry.readAll());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^StartupWMClass=(.*)$"), QRegularExpression::MultilineOption).match(text);
    ASSERT_TRUE(m.hasMatch()) << "no StartupWMClass";
    setProgramIdentity();
    EXPECT_EQ(m.captured(1), QCoreApplication::applicationName());
}

// Help and version answer on a terminal without a display, and never open
// the window.
TEST(ProgramIdentity, HelpAndVersionAnswerWithoutADisplay) {
    const struct {
        const char* option;
        const char* says;
    } cases[] = {
        {"--version", "meterlink " METERLINK_VERSION},
        {"-v", "meterlink " METERLINK_VERSION},
        {"--help", "Usage:"},
        {"-h", "--version"},
        {"--help", "--reset"},
        {"--help", "METERLINK_COM1"},
        {"--help", "METERLINK_HID"},
        {"--help", "--meter <MODEL>"},
        // An unknown meter is refused before any window, so also without a display.
        {"--meter=no-such-meter", "no meter named \"no-such-meter\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(METERLINK_PROGRAM), {QString::fromLatin1(c.option)});
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        const bool refused = QByteArray(c.option).startsWith("--meter");
        EXPECT_EQ(program.exitCode(), refused ? 2 : 0) << program.readAllStandardError().toStdString();
        EXPECT_TRUE((refused ? program.readAllStandardError() : program.readAllStandardOutput()).contains(c.says));
    }
}

}  // namespace
