// mqtt_log_bench: meterlink-cli log --mqtt against a real broker.
//   1. Latency: from the moment a frame's last byte is written to the meter's
//      pty to the moment a subscriber on the broker has its row: median and
//      95th percentile (target p95 under 150 ms), reading included.
//   2. CPU: the command's time on a CPU over the wall time while it logs and
//      publishes 3 frames a second (target under 0.2% of one core).
// The CPU share is also measured without --mqtt, in the same run, for
// comparison. Starts mosquitto on a free localhost port and stops it. Prints the figures
// with PASS or FAIL and exits 0 either way (1 when it could not measure).
//
//   build/bench/mqtt_log_bench --cli build/tools/meterlink-cli [--frames N]

#include "protocol/frame_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

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

// What the subscriber saw: the receipt time of each frame's row.
struct Receipts {
    std::mutex lock;
    std::vector<Clock::time_point> at;   // index: frame number
};

meterlink::WireFrame frameFor(int i) {
    meterlink::DisplaySpec spec;
    spec.count = 1000 + i;   // 1.001 V, 1.002 V, ...
    spec.pointAfter = 1;
    return meterlink::encodeFrame(meterlink::fieldsFor(spec));
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString cli;
    int frames = 150;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--cli") == 0) cli = QString::fromLocal8Bit(argv[i + 1]);
        if (qstrcmp(argv[i], "--frames") == 0) frames = std::clamp(atoi(argv[i + 1]), 10, 8000);
    }
    if (cli.isEmpty()) {
        std::fprintf(stderr, "usage: mqtt_log_bench --cli PATH-TO-meterlink-cli [--frames N]\n");
        return 1;
    }
    QTemporaryDir dir;
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n").arg(port).toUtf8());
    config.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        up = s.waitForConnected(100);
        if (!up) QThread::msleep(50);
    }
    if (!up) {
        std::fprintf(stderr, "mqtt_log_bench: mosquitto did not start (is it installed?)\n");
        return 1;
    }

    // The subscriber, in this process on libmosquitto's thread.
    Receipts receipts;
    receipts.at.resize(static_cast<std::size_t>(frames) + 2);
    mosquitto_lib_init();
    mosquitto* sub = mosquitto_new(nullptr, true, &receipts);
    mosquitto_message_callback_set(sub, [](mosquitto*, void* obj, const mosquitto_message* m) {
        const auto now = Clock::now();
        auto* r = static_cast<Receipts*>(obj);
        // The frame is known by its value (frameFor): the first frame may be
        // cut before the command has found the frames' boundaries.
        const double value = QJsonDocument::fromJson(QByteArray(static_cast<const char*>(m->payload), m->payloadlen))
                                 .object()
                                 .value(QStringLiteral("value"))
                                 .toDouble();
        const int no = static_cast<int>(value * 1000 + 0.5) - 1000;
        std::lock_guard<std::mutex> guard(r->lock);
        if (no > 0 && static_cast<std::size_t>(no) < r->at.size() && r->at[no] == Clock::time_point()) r->at[no] = now;
    });
    if (mosquitto_connect(sub, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_subscribe(sub, nullptr, "bench/reading", 1) != MOSQ_ERR_SUCCESS || mosquitto_loop_start(sub) != 0) {
        std::fprintf(stderr, "mqtt_log_bench: the subscriber could not connect\n");
        return 1;
    }

    // Frames played into a pty that the command reads, at the meter's pace;
    // the command's CPU share over the run. Without --mqtt: the same run
    // without publishing, beside it for comparison.
    std::vector<Clock::time_point> written(static_cast<std::size_t>(frames) + 2);
    const auto run = [&](bool mqtt, int count) {
        int master = -1, slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return -1.0;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        QProcess log;
        log.setStandardOutputFile(QProcess::nullDevice());
        log.setStandardErrorFile(QProcess::nullDevice());
        QStringList args{QStringLiteral("log"), QStringLiteral("--port"), QString::fromLocal8Bit(name),
                         QStringLiteral("--limit"), QStringLiteral("limitless")};
        if (mqtt) args << QStringLiteral("--mqtt") << QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(port);
        log.start(cli, args);
        log.waitForStarted();
        QThread::sleep(2);   // connected to the broker and reading
        const long long cpuBefore = cpuNanoseconds(log.processId());
        const auto start = Clock::now();
        for (int i = 1; i <= count; ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(333) * i);
            const meterlink::WireFrame f = frameFor(i);
            if (::write(master, f.data(), f.size()) != static_cast<ssize_t>(f.size())) break;
            if (mqtt) written[static_cast<std::size_t>(i)] = Clock::now();
        }
        QThread::msleep(1000);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const long long cpu = cpuNanoseconds(log.processId()) - cpuBefore;
        log.terminate();
        log.waitForFinished();
        ::close(master);
        ::close(slave);
        return 100.0 * static_cast<double>(cpu) / 1e9 / wall;
    };
    const double plainShare = run(false, frames);
    const double share = run(true, frames);

    std::vector<double> latencies;
    {
        std::lock_guard<std::mutex> guard(receipts.lock);
        for (int no = 1; no <= frames; ++no)
            if (receipts.at[no] != Clock::time_point() && written[no] != Clock::time_point())
                latencies.push_back(std::chrono::duration<double, std::milli>(receipts.at[no] - written[no]).count());
    }
    mosquitto_loop_stop(sub, true);
    mosquitto_destroy(sub);
    broker.terminate();
    broker.waitForFinished();
    if (latencies.size() < static_cast<std::size_t>(frames) / 2) {
        std::fprintf(stderr, "mqtt_log_bench: only %zu of %d rows arrived\n", latencies.size(), frames);
        return 1;
    }
    const double p95 = percentile(latencies, 0.95);
    std::printf("frame's last byte on the pty -> subscriber has its row, %zu of %d rows:\n", latencies.size(), frames);
    std::printf("  median %.1f ms, p95 %.1f ms, max %.1f ms (target p95 < 150 ms) %s\n", percentile(latencies, 0.5),
                p95, percentile(latencies, 1.0), p95 < 150 ? "PASS" : "FAIL");
    std::printf("CPU of meterlink-cli log --mqtt at 3 rows/s over %d frames: %.3f%% of one core (target < 0.2%%) %s\n",
                frames, share, share < 0.2 ? "PASS" : "FAIL");
    std::printf("  the same run without --mqtt: %.3f%% of one core\n", plainShare);
    return 0;
}
