// live_link_bench: the main window on a live serial link, measured.
//   1. Latency: frames that change the display are written to a pty one at a
//      time; the time from the write's return to the LCD panel showing the new
//      digits is taken for each.
//   2. CPU: the meter's stream (3 frames a second) runs for a while; the
//      process's CPU time over the wall time is its share of one core, and
//      its resident memory at the end.
// Prints the figures beside their targets with PASS or FAIL and exits 0
// either way: these are measurements, not tests. bench/live-link runs it.

#include "app/analysis/analysis_launcher.h"
#include "app/lcd_panel.h"
#include "app/tfcomm.h"
#include "logged_readings.h"
#include "resident_bytes.h"
#include "protocol/frame_builder.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int frames = 50;
    double seconds = 60;
    QString simulator;   // meterlink-cli to stream from; empty: write frames here
    long prefill = 0;    // rows logged before the link opens
    bool logging = true;
    QString scenario;    // readings the simulator plays; empty: its tour
    bool analysis = false;   // the analysis window open on the log
};

void usage(FILE* out) {
    std::fputs("usage: live_link_bench [--frames N] [--seconds S] [--simulator PATH] [--scenario FILE]\n"
               "                       [--prefill N] [--no-logging] [--analysis]\n"
               "  --frames N        frames timed for the latency (default 50)\n"
               "  --seconds S       length of the CPU run (default 60)\n"
               "  --simulator PATH  meterlink-cli, whose simulator streams during the CPU\n"
               "                    run; without it the frames are written from here\n"
               "  --prefill N       log N rows before the link opens (every frame is\n"
               "                    logged, as with \"Repeat\" ticked)\n"
               "  --scenario FILE   the readings the simulator plays (meterlink-cli simulate\n"
               "                    --scenario): one line for a steady reading, lines of\n"
               "                    other ranges for a stream that changes range\n"
               "  --no-logging      log nothing: the live link alone\n"
               "  --analysis        with the analysis window open on the log\n",
               out);
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-logging") {
            o.logging = false;
            continue;
        }
        if (arg == "--analysis") {
            o.analysis = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        char* end = nullptr;
        if (arg == "--frames") {
            const long v = std::strtol(value, &end, 10);
            if (*end != '\0' || v < 1 || v > 10000) return false;
            o.frames = static_cast<int>(v);
        } else if (arg == "--seconds") {
            const double v = std::strtod(value, &end);
            if (*end != '\0' || !(v > 0) || v > 3600) return false;
            o.seconds = v;
        } else if (arg == "--simulator") {
            o.simulator = QString::fromLocal8Bit(value);
        } else if (arg == "--scenario") {
            o.scenario = QString::fromLocal8Bit(value);
        } else if (arg == "--prefill") {
            const long v = std::strtol(value, &end, 10);
            if (*end != '\0' || v < 0 || v > meterlink::RecordLogger::kLimitless) return false;
            o.prefill = v;
        } else {
            return false;
        }
    }
    return true;
}

// A pty standing in for the serial port; this side plays the meter.
class PtyMeter {
public:
    PtyMeter() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
        for (int fd : {master_, slave_}) {
            termios t{};
            if (::tcgetattr(fd, &t) == 0) {
                ::cfmakeraw(&t);
                ::tcsetattr(fd, TCSANOW, &t);
            }
        }
        if (const char* name = ::ttyname(slave_)) path_ = name;
    }
    ~PtyMeter() {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }
    PtyMeter(const PtyMeter&) = delete;
    PtyMeter& operator=(const PtyMeter&) = delete;

    const std::string& path() const { return path_; }

    bool write(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(master_, data, size);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int master_ = -1;
    int slave_ = -1;   // kept open so writes succeed before the window opens it
    std::string path_;
};

meterlink::WireFrame dcvFrame(int count) {
    meterlink::DisplaySpec spec;
    spec.function = meterlink::MeterFunction::DCV;
    spec.count = count;
    spec.pointAfter = 1;
    return meterlink::encodeFrame(meterlink::fieldsFor(spec));
}

std::array<char, 4> digitsOf(const meterlink::WireFrame& frame) {
    return {static_cast<char>(frame[1]), static_cast<char>(frame[2]), static_cast<char>(frame[3]),
            static_cast<char>(frame[4])};
}

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double rank = p * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(rank);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (rank - static_cast<double>(lo));
}

// The variable that names the device behind the window's chosen port.
QByteArray portVariable(TFCOMM& window) {
    return "METERLINK_COM" + QByteArray::number(static_cast<int>(window.COMM2().ComPort()) + 1);
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

// Runs the two measurements inside the window's own event loop.
class LiveLinkBench : public QObject {
public:
    LiveLinkBench(const Options& options, PtyMeter& meter, TFCOMM& window, LcdPanel& lcd, QAbstractButton& comCon)
        : options_(options), meter_(meter), window_(window), lcd_(lcd), comCon_(comCon) {}

    void start() {
        pollPeriodMs_ = window_.COMM2().ComPortPollingDelay();
        // The LCD changes inside the driver's poll tick; the event loop goes
        // idle right after, so checking there sees the change at once.
        idleHook_ = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                     this, [this] { checkLcd(); });
        // A guard for a frame that never shows.
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(2000);
        QObject::connect(&watchdog_, &QTimer::timeout, this, [this] { frameMissed(); });

        // The assembler takes a frame only after an LF; the primer also shows
        // that the link works before anything is timed.
        const std::uint8_t lf = 0x0A;
        meter_.write(&lf, 1);
        sendFrame(0);
    }

private:
    void sendFrame(int index) {
        const meterlink::WireFrame frame = dcvFrame(1000 + index);
        expected_ = digitsOf(frame);
        waiting_ = true;
        meter_.write(frame.data(), frame.size());
        written_ = Clock::now();
        watchdog_.start();
    }

    void checkLcd() {
        if (!waiting_ || lcd_.state().digits != expected_) return;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - written_).count();
        waiting_ = false;
        watchdog_.stop();
        if (sent_ > 0) latencies_.push_back(ms);   // the primer is not timed
        next();
    }

    void frameMissed() {
        waiting_ = false;
        if (sent_ == 0) {
            std::printf("no frame reached the LCD: is the link up?\n");
            QApplication::exit(0);
            return;
        }
        ++missed_;
        next();
    }

    void next() {
        if (sent_ >= options_.frames) {
            reportLatency();
            startCpuRun();
            return;
        }
        ++sent_;
        // A random wait puts each write at a different point of the poll cycle.
        const int delay = std::uniform_int_distribution<int>(0, pollPeriodMs_)(random_);
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this] { sendFrame(sent_); });
    }

    void reportLatency() {
        const double target = pollPeriodMs_ + 10.0;
        std::printf("Latency, frame's last byte written -> LCD changed (%d frames, poll period %d ms):\n",
                    options_.frames, pollPeriodMs_);
        if (latencies_.empty()) {
            std::printf("  no frame shown\n  target: at most %.0f ms  FAIL\n", target);
            return;
        }
        const double worst = *std::max_element(latencies_.begin(), latencies_.end());
        std::printf("  min %.1f ms  median %.1f ms  p95 %.1f ms  max %.1f ms", percentile(latencies_, 0),
                    percentile(latencies_, 0.5), percentile(latencies_, 0.95), worst);
        if (missed_ > 0) std::printf("  (%d frames never shown)", missed_);
        std::printf("\n  target: at most %.0f ms (poll period + 10 ms)  %s\n", target,
                    verdict(worst <= target && missed_ == 0));
        std::fflush(stdout);
    }

    void startCpuRun() {
        waiting_ = false;
        QObject::disconnect(idleHook_);
        if (!options_.simulator.isEmpty() && !switchToSimulator()) {
            QApplication::exit(0);
            return;
        }
        if (options_.simulator.isEmpty()) {
            // The meter's pace, from this process: one small write every third
            // of a second, next to nothing beside the window's work.
            pacer_.setTimerType(Qt::PreciseTimer);
            pacer_.setInterval(1000 / 3);
            QObject::connect(&pacer_, &QTimer::timeout, this, [this] {
                const meterlink::WireFrame frame = dcvFrame(2000 + (paced_++ % 7));
                meter_.write(frame.data(), frame.size());
            });
            pacer_.start();
        }
        // Once a second, note whether the display moved: the stream is live.
        QObject::connect(&sampler_, &QTimer::timeout, this, [this] {
            ++samples_;
            if (lcd_.state().digits != lastDigits_) ++changedSamples_;
            lastDigits_ = lcd_.state().digits;
        });
        sampler_.start(1000);
        cpuStart_ = cpuSeconds();
        wallStart_ = Clock::now();
        QTimer::singleShot(static_cast<int>(options_.seconds * 1000), Qt::PreciseTimer, this,
                           [this] { finishCpuRun(); });
    }

    // Moves COM 1 over to the simulator's port: disconnect, repoint, connect.
    bool switchToSimulator() {
        simulator_.setProgram(options_.simulator);
        QStringList arguments{QStringLiteral("simulate")};
        if (!options_.scenario.isEmpty()) arguments << QStringLiteral("--scenario") << options_.scenario;
        simulator_.setArguments(arguments);
        simulator_.start();
        if (!simulator_.waitForStarted(5000) || !simulator_.waitForReadyRead(5000)) {
            std::printf("CPU run: the simulator did not start (%s)\n", qPrintable(options_.simulator));
            return false;
        }
        const QByteArray port = simulator_.readLine().trimmed();
        comCon_.click();
        qputenv(portVariable(window_).constData(), port);
        comCon_.click();
        if (!window_.COMM2().Connected()) {
            std::printf("CPU run: could not open the simulator's port %s\n", port.constData());
            return false;
        }
        return true;
    }

    void finishCpuRun() {
        const double cpu = cpuSeconds() - cpuStart_;
        const double wall = std::chrono::duration<double>(Clock::now() - wallStart_).count();
        pacer_.stop();
        sampler_.stop();
        if (simulator_.state() != QProcess::NotRunning) {
            simulator_.terminate();
            simulator_.waitForFinished(5000);
        }
        const double share = 100.0 * cpu / wall;
        std::printf("CPU while streaming at 3 frames/s from %s for %.1f s:\n",
                    options_.simulator.isEmpty() ? "this process" : "the simulator", wall);
        std::printf("  %.3f s CPU / %.1f s wall = %.2f%% of one core (display moved in %d of %d one-second samples)\n",
                    cpu, wall, share, changedSamples_, samples_);
        // Logging every frame may cost up to 1%; the link alone, half that.
        const double target = options_.logging ? 1.0 : 0.5;
        std::printf("  target: under %.1f%% of one core  %s\n", target, verdict(share < target));
        std::printf("Resident memory at the end: %.1f MiB\n", static_cast<double>(residentBytes()) / (1024.0 * 1024.0));
        std::fflush(stdout);
        QApplication::exit(0);
    }

    const Options& options_;
    PtyMeter& meter_;
    TFCOMM& window_;
    LcdPanel& lcd_;
    QAbstractButton& comCon_;

    int pollPeriodMs_ = 0;
    QMetaObject::Connection idleHook_;
    QTimer watchdog_;
    std::array<char, 4> expected_{};
    bool waiting_ = false;
    Clock::time_point written_;
    int sent_ = 0;
    int missed_ = 0;
    std::vector<double> latencies_;
    std::minstd_rand random_{7u};

    QTimer pacer_;
    QTimer sampler_;
    QProcess simulator_;
    int paced_ = 0;
    int samples_ = 0;
    int changedSamples_ = 0;
    std::array<char, 4> lastDigits_{};
    double cpuStart_ = 0;
    Clock::time_point wallStart_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (!parseOptions(argc, argv, options)) {
        usage(stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    PtyMeter meter;
    if (meter.path().empty()) {
        std::printf("could not open a pseudo-terminal: %s\n", std::strerror(errno));
        return 0;
    }

    // The window keeps a journal: in a scratch data folder, never the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    TFCOMM window;
    window.show();
    auto* comCon = window.findChild<QAbstractButton*>(QStringLiteral("COMCon"));
    auto* lcd = window.findChild<LcdPanel*>();
    if (!comCon || !lcd) {
        std::printf("the window lacks its COMCon button or LCD panel\n");
        return 0;
    }
    // A record limit of 0 keeps the log empty: the link alone is measured.
    // Otherwise there is room for every row, prefilled or streamed.
    window.logger().setRecordLimit(options.logging ? meterlink::RecordLogger::kLimitless : 0);
    meterlink::bench::logReadings(window.logger(), window.recordTable(), 0, options.prefill);
    std::printf("Log: %s, %d rows before the link opens\n", options.logging ? "every frame" : "nothing",
                window.recordTable().rowCount());

    // Wire the window's chosen port (COM 1 as it starts) to the pty.
    qputenv(portVariable(window).constData(), QByteArray::fromStdString(meter.path()));
    std::printf("MeterLink live link benchmark (%s platform)\n", qPrintable(QApplication::platformName()));
    comCon->click();
    if (!window.COMM2().Connected()) {
        std::printf("could not open %s as %s: %s\n", meter.path().c_str(), portVariable(window).constData(),
                    qPrintable(window.COMM2().lastError()));
        return 0;
    }

    if (options.analysis) {
        auto* launcher = window.findChild<meterlink::analysis::AnalysisLauncher*>();
        if (!launcher) {
            std::printf("the window lacks its analysis launcher\n");
            return 0;
        }
        launcher->open();
        std::printf("The analysis window is open on the log\n");
    }

    LiveLinkBench bench(options, meter, window, *lcd, *comCon);
    QTimer::singleShot(0, &bench, [&bench] { bench.start(); });
    app.exec();
    return 0;
}
