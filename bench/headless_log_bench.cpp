// headless_log_bench: what meterlink-cli log costs.
//   1. CPU: the command logging the meter simulator's 3 frames a second for a
//      while (default 60 s) with --out and the default 60 s checkpoint,
//      measured on the command's process alone: its time on a CPU from
//      /proc/PID/schedstat over the wall time (target: under 0.1% of one
//      core), and its voluntary context switches a second: its wake-ups, plus
//      any waits inside system calls (a pty read may wait for the kernel).
//   2. Memory: resident bytes per row of a log kept without a window at
//      1,000,000 rows (target: at most 64, as for the window's table), and
//      what one checkpoint of that log costs.
// Prints the figures with PASS or FAIL and exits 0 either way.
//
//   build/bench/headless_log_bench --cli build/tools/meterlink-cli [--seconds S] [--usb] [--skip-cpu]
//   --usb also measures the command reading the simulated USB cable (no target:
//   the cable itself sends a hundred reports a second).

#include "resident_bytes.h"

#include "log_session.h"
#include "recording/data_files.h"
#include "protocol/frame_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>

namespace {

using Clock = std::chrono::steady_clock;

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

// Sums a figure over the process's threads (the USB cable has a read thread).
template <class Read>
long long overThreads(qint64 pid, Read read) {
    long long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) total += read(tasks.filePath(task));
    return total;
}

// Nanoseconds on a CPU.
long long cpuNanoseconds(qint64 pid) {
    return overThreads(pid, [](const QString& task) {
        QFile stat(task + QStringLiteral("/schedstat"));
        return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(0).toLongLong() : 0LL;
    });
}

// Times a thread gave up the CPU to wait: its wake-ups.
long long voluntarySwitches(qint64 pid) {
    return overThreads(pid, [](const QString& task) {
        QFile status(task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly)) return 0LL;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:")) return line.mid(24).trimmed().toLongLong();
        return 0LL;
    });
}

// Starts a simulator and returns where it plays (its first line).
QString startSimulator(QProcess& simulator, const QString& cli, const QStringList& args) {
    simulator.start(cli, QStringList{QStringLiteral("simulate")} + args);
    if (!simulator.waitForReadyRead(5000)) return {};
    return QString::fromLocal8Bit(simulator.readLine().trimmed());
}

void measureCpu(const QString& cli, double seconds, bool usb) {
    QTemporaryDir dir;
    QProcess simulator;
    QStringList logArgs{QStringLiteral("log")};
    if (usb) {
        const QString socket = dir.filePath(QStringLiteral("cable.sock"));
        if (startSimulator(simulator, cli, {QStringLiteral("--usb"), socket}).isEmpty()) {
            std::printf("  the cable simulator did not start\n");
            return;
        }
        logArgs << QStringLiteral("--usb") << QStringLiteral("sim:") + socket;
    } else {
        const QString port = startSimulator(simulator, cli, {});
        if (port.isEmpty()) {
            std::printf("  the simulator did not start\n");
            return;
        }
        logArgs << QStringLiteral("--port") << port;
    }
    const QString out = dir.filePath(QStringLiteral("bench.xls"));
    logArgs << QStringLiteral("--out") << out;

    QProcess log;
    log.setStandardOutputFile(dir.filePath(QStringLiteral("rows.txt")));
    log.setStandardErrorFile(dir.filePath(QStringLiteral("progress.txt")));
    log.start(cli, logArgs);
    if (!log.waitForStarted(5000)) {
        std::printf("  meterlink-cli log did not start\n");
        return;
    }
    const qint64 pid = log.processId();
    // Start-up (loading Qt, opening the link) is not what a days-long run costs.
    QThread::sleep(2);
    const long long cpu0 = cpuNanoseconds(pid);
    const long long wake0 = voluntarySwitches(pid);
    const auto wall0 = Clock::now();
    // The first checkpoint comes 60 s after the start, inside a 60 s window.
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    const long long cpu1 = cpuNanoseconds(pid);
    const long long wake1 = voluntarySwitches(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();

    ::kill(static_cast<pid_t>(pid), SIGTERM);
    log.waitForFinished(10000);
    simulator.terminate();
    simulator.waitForFinished(5000);
    QFile rows(dir.filePath(QStringLiteral("rows.txt")));
    const long rowCount = rows.open(QIODevice::ReadOnly) ? static_cast<long>(rows.readAll().count('\n')) - 1 : 0;

    const double cpu = static_cast<double>(cpu1 - cpu0) / 1e9;
    const double share = 100.0 * cpu / wall;
    std::printf("  %s: %.1f ms CPU in %.1f s = %.3f%% of one core; %.1f voluntary context switches\n    a second (wake-ups, and waits inside system calls);\n"
                "    %ld rows logged, exit code %d, %s saved\n",
                usb ? "USB cable (simulated)" : "serial port (pty)", cpu * 1000, wall, share,
                static_cast<double>(wake1 - wake0) / wall, rowCount, log.exitCode(),
                QFile::exists(out) ? "--out" : "nothing");
    if (!usb) std::printf("    target: under 0.1%% of one core  %s\n", verdict(share < 0.1));
}

// The bytes of a reading that changes from frame to frame, as a real one does.
meterlink::WireFrame frameFor(long i) {
    meterlink::DisplaySpec spec;
    spec.function = (i / 5000) % 3 == 0 ? meterlink::MeterFunction::ACV : meterlink::MeterFunction::DCV;
    spec.count = static_cast<int>(1000 + (i * 7919) % 5000);
    spec.pointAfter = 1;
    return meterlink::encodeFrame(meterlink::fieldsFor(spec));
}

void measureMemory() {
    constexpr long kRows = 1000000;
    const long before = residentBytes();
    long tick = 0;
    meterlink::LogSession::Rules rules;
    rules.recordLimit = meterlink::RecordLogger::kLimitless;
    meterlink::LogSession session(rules, 6000, QLocale::c(),
                                  [&tick] { return QTime(0, 0).addSecs(static_cast<int>(tick++ % 86400)); });
    const std::uint8_t lf = '\n';
    session.feed(&lf, 1);
    const auto start = Clock::now();
    for (long i = 0; i < kRows; ++i) {
        const meterlink::WireFrame frame = frameFor(i);
        session.feed(frame.data(), frame.size());
    }
    const double microseconds = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRows;
    const long grown = residentBytes() - before;
    const double perRow = static_cast<double>(grown) / static_cast<double>(session.table().rowCount());
    std::printf("  %d rows: %.1f MiB resident, %.1f bytes per row (held by the table: %.1f MiB)\n",
                session.table().rowCount(), static_cast<double>(grown) / 1048576.0, perRow,
                static_cast<double>(session.table().bytesUsed()) / 1048576.0);
    std::printf("    target: at most 64 bytes per row  %s\n", verdict(perRow <= 64 && session.table().rowCount() == kRows));
    std::printf("  each frame decoded, judged and logged in %.2f us (one core, no wake-up)\n", microseconds);

    // A checkpoint saves the whole log: what that costs once it is long.
    QTemporaryDir dir;
    for (const char* name : {"checkpoint.xls", "checkpoint.xml"}) {
        const auto saveStart = Clock::now();
        const bool saved = meterlink::saveTableToFile(session.table(), dir.filePath(QString::fromLatin1(name)));
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - saveStart).count();
        std::printf("  a checkpoint of these rows as %s: %.0f ms%s, %.2f%% of one core every 60 s\n", name, ms,
                    saved ? "" : " (FAILED)", ms / 600.0);
    }
}

void usage(FILE* out) {
    std::fputs("usage: headless_log_bench --cli PATH [--seconds S] [--usb] [--skip-cpu]\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString cli;
    double seconds = 60;
    bool usb = false;
    bool cpu = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--usb") {
            usb = true;
        } else if (arg == "--skip-cpu") {
            cpu = false;
        } else if ((arg == "--cli" || arg == "--seconds") && i + 1 < argc) {
            if (arg == "--cli") cli = QString::fromLocal8Bit(argv[++i]);
            else seconds = std::strtod(argv[++i], nullptr);
        } else {
            usage(arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (cpu && (cli.isEmpty() || !(seconds > 0))) {
        usage(stderr);
        return 2;
    }
    std::printf("meterlink-cli log benchmark\n");
    if (cpu) {
        std::printf("CPU while logging 3 frames a second with --out and the 60 s checkpoint, for %.0f s:\n", seconds);
        measureCpu(cli, seconds, false);
        if (usb) measureCpu(cli, seconds, true);
    }
    std::printf("Memory of a log kept without a window, resident:\n");
    measureMemory();
    return 0;
}
