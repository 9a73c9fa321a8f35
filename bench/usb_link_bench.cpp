// usb_link_bench: the main window on the simulated USB cable, measured. The
// cable simulator (meterlink-cli simulate --usb) streams the meter's frames at
// 3 a second inside a report every 10 ms, as the adapter does; the window
// reads them through its HID read thread for a while, and the process's CPU
// time over the wall time is its share of one core (target: under 1%).
// Prints the figures with PASS or FAIL and exits 0 either way.
// bench/live-link --usb runs it.

#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/tfcomm.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void usage(FILE* out) {
    std::fputs("usage: usb_link_bench --simulator PATH [--seconds S] [--report-ms N] [--no-logging]\n"
               "  --simulator PATH  meterlink-cli, whose cable simulator streams\n"
               "  --seconds S       length of the CPU run (default 60)\n"
               "  --report-ms N     the simulated adapter's report interval (default 10)\n"
               "  --no-logging      log nothing: the link alone (by default every frame\n"
               "                    is logged, as the window starts with \"Repeat\" ticked)\n",
               out);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    QString simulatorPath;
    QString reportMs = QStringLiteral("10");
    bool logging = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--no-logging") {
            logging = false;
            continue;
        }
        if (i + 1 >= argc) {
            usage(stderr);
            return 2;
        }
        const char* value = argv[++i];
        char* end = nullptr;
        if (arg == "--seconds") {
            seconds = std::strtod(value, &end);
            if (*end != '\0' || !(seconds > 0) || seconds > 3600) {
                usage(stderr);
                return 2;
            }
        } else if (arg == "--report-ms") {
            reportMs = QString::fromLocal8Bit(value);
        } else if (arg == "--simulator") {
            simulatorPath = QString::fromLocal8Bit(value);
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (simulatorPath.isEmpty()) {
        usage(stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // The window keeps a journal: in a scratch data folder, never the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("cable.sock"));
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(simulatorPath,
                    {QStringLiteral("simulate"), QStringLiteral("--usb"), socket, QStringLiteral("--report-ms"), reportMs});
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(5000)) {
        std::printf("the cable simulator did not start (%s)\n", qPrintable(simulatorPath));
        return 0;
    }
    qputenv("METERLINK_HID", QByteArray("sim:") + socket.toUtf8());

    std::printf("MeterLink USB link benchmark (%s platform)\n", qPrintable(QApplication::platformName()));
    int result = 0;
    {
        TFCOMM window;
        // A record limit of 0 keeps the log empty.
        if (!logging) window.logger().setRecordLimit(0);
        std::printf("Log: %s\n", logging ? "every frame" : "nothing");
        window.show();
        window.connection().USBCon()->click();
        if (window.connection().state() != ConnectionControl::State::UsbConnected) {
            std::printf("the window did not open the simulated cable\n");
            simulator.terminate();
            simulator.waitForFinished(5000);
            return 0;
        }
        // Once a second, note whether the display moved: the stream is live.
        int samples = 0, changed = 0;
        std::array<char, 4> last{};
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            ++samples;
            if (window.lcd()->state().digits != last) ++changed;
            last = window.lcd()->state().digits;
        });
        double cpuStart = 0;
        Clock::time_point wallStart;
        // A second to settle: the link opens, the first frames arrive.
        QTimer::singleShot(1000, [&] {
            sampler.start(1000);
            cpuStart = cpuSeconds();
            wallStart = Clock::now();
            QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
                const double cpu = cpuSeconds() - cpuStart;
                const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
                const double share = 100.0 * cpu / wall;
                std::printf("CPU while the simulated cable streams (3 frames/s, a report every %s ms) for %.1f s:\n",
                            qPrintable(reportMs), wall);
                std::printf("  %.3f s CPU / %.1f s wall = %.2f%% of one core "
                            "(display moved in %d of %d one-second samples, %d rows logged)\n",
                            cpu, wall, share, changed, samples, window.recordTable().rowCount());
                std::printf("  target: under 1%% of one core  %s\n", share < 1.0 ? "PASS" : "FAIL");
                std::fflush(stdout);
                QApplication::exit(0);
            });
        });
        result = QApplication::exec();
    }
    simulator.terminate();
    simulator.waitForFinished(5000);
    return result;
}
