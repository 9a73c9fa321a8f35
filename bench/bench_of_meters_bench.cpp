// bench_of_meters_bench: what a headless bench of meters costs. Two meter
// simulators at their pace (3 frames a second each) on two ptys, logged by
// one `meterlink-cli log` with a calculated channel, its clock at 1/3 s so
// every channel gets 3 rows a second, long form to --out. Measured on the
// command's process alone: its time on a CPU (/proc/PID/task/*/schedstat)
// over the wall time. Target: under 0.5% of one core.
// Prints the figures with PASS or FAIL and exits 0 either way.
//
//   build/bench/bench_of_meters_bench --cli build/tools/meterlink-cli [--seconds S]

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

long long cpuNanoseconds(qint64 pid) {
    long long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly)) total += stat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

QString startSimulator(QProcess& simulator, const QString& cli, const QString& scenario) {
    simulator.start(cli, {QStringLiteral("simulate"), QStringLiteral("--scenario"), scenario});
    if (!simulator.waitForReadyRead(5000)) return {};
    return QString::fromLocal8Bit(simulator.readLine().trimmed());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString cli;
    double seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--cli") cli = QString::fromLocal8Bit(argv[i + 1]);
        else if (arg == "--seconds") seconds = std::stod(argv[i + 1]);
    }
    if (cli.isEmpty()) {
        std::fputs("usage: bench_of_meters_bench --cli PATH [--seconds S]\n", stderr);
        return 2;
    }
    QTemporaryDir dir;
    auto scenario = [&](const char* name, const char* line) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::WriteOnly)) file.write(line);
        return file.fileName();
    };
    QProcess volts, amps;
    const QString portV = startSimulator(volts, cli, scenario("v.txt", "DCV 12.00\n"));
    const QString portA = startSimulator(amps, cli, scenario("a.txt", "DCA 0.500\n"));
    if (portV.isEmpty() || portA.isEmpty()) {
        std::printf("  the simulators did not start\n");
        return 0;
    }
    const QString out = dir.filePath(QStringLiteral("bench.csv"));
    QProcess log;
    log.setStandardOutputFile(dir.filePath(QStringLiteral("rows.csv")));
    log.setStandardErrorFile(dir.filePath(QStringLiteral("progress.txt")));
    log.start(cli, {QStringLiteral("log"), QStringLiteral("--port"), portV, QStringLiteral("--port"), portA,
                    QStringLiteral("--calc"), QStringLiteral("P = CH1 * CH2"), QStringLiteral("--interval"),
                    QStringLiteral("0.333"), QStringLiteral("--out"), out});
    if (!log.waitForStarted(5000)) {
        std::printf("  meterlink-cli log did not start\n");
        return 0;
    }
    const qint64 pid = log.processId();
    // Start-up (loading Qt, opening the ports) is not what a night-long run costs.
    QThread::sleep(2);
    const long long cpu0 = cpuNanoseconds(pid);
    const auto wall0 = Clock::now();
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    const long long cpu1 = cpuNanoseconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    log.waitForFinished(10000);
    volts.terminate();
    amps.terminate();
    volts.waitForFinished(5000);
    amps.waitForFinished(5000);
    QFile rows(out);
    const long records = rows.open(QIODevice::ReadOnly) ? static_cast<long>(rows.readAll().count('\n')) - 1 : 0;
    const double cpu = static_cast<double>(cpu1 - cpu0) / 1e9;
    const double share = 100.0 * cpu / wall;
    std::printf("bench of two meters and a calculated channel, 3 rows a second each:\n"
                "  %.1f ms CPU in %.1f s = %.3f%% of one core; %ld long-form records, exit code %d\n"
                "  target: under 0.5%% of one core  %s\n",
                cpu * 1000, wall, share, records, log.exitCode(), share < 0.5 ? "PASS" : "FAIL");
    return 0;
}
