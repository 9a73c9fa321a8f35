// polled_meter_bench: how long a polled meter's reading takes to arrive once
// the request has gone out. The serial driver asks a simulated Fluke 289 on
// a pseudo-terminal (the meter side answers each "QM" at once from its own
// thread); the time from the meter seeing the request to the decoder
// handing out the reading is the poll-to-reading latency of the link and
// the decoder. Prints median, 99th percentile and worst over 300 requests
// for both ways of reading (the window's 50 ms poll tick and reading as
// bytes arrive, as meterlink-cli log does).
//
//   build/bench/polled_meter_bench

#include "links/meter_line.h"
#include "links/serial_port_driver.h"
#include "protocol/meters/meter_decoder.h"

#include <QCoreApplication>
#include <QTimer>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double medianMs, p99Ms, worstMs;
    std::size_t readings;
};

Figures measure(bool readOnArrival, int requests) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) std::abort();
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    const std::string path = ::ttyname(slave);

    std::mutex lock;
    std::deque<Clock::time_point> asked;   // when the meter saw each request
    std::atomic<bool> stop{false};
    std::thread meter([&] {
        const std::string answer = "0\r+1.2345E-1,VAC,NORMAL,NONE\r";
        std::string pending;
        char buf[64];
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1) continue;
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) continue;
            pending.append(buf, static_cast<std::size_t>(n));
            for (std::size_t at; (at = pending.find('\r')) != std::string::npos; pending.erase(0, at + 1)) {
                {
                    std::lock_guard<std::mutex> g(lock);
                    asked.push_back(Clock::now());
                }
                if (::write(master, answer.data(), answer.size()) < 0) std::abort();
            }
        }
    });

    const meterlink::MeterModel& model = *meterlink::findMeter("Fluke 289");
    auto decoder = meterlink::makeDecoder(model, ".");
    std::vector<double> latencies;
    decoder->setHandler([&](const meterlink::MeterDecoder&) {
        std::lock_guard<std::mutex> g(lock);
        if (asked.empty()) return;
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked.front()).count());
        asked.pop_front();
    });
    TSerialPortDriver driver;
    driver.setPortPath(QString::fromStdString(path));
    driver.setReadOnArrival(readOnArrival);
    applyMeterLine(driver, model.line);
    // Asked more often than the table's period, so the run is short; the
    // latency does not depend on the period.
    driver.setPollCommand(QByteArray::fromStdString(std::string(model.line.pollCommand)), 25);
    driver.setOnReceiveData([&](TSerialPortDriver*, const std::uint8_t* data, int size) {
        decoder->feed(data, static_cast<std::size_t>(size));
    });
    if (!driver.Connect()) std::abort();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (static_cast<int>(latencies.size()) >= requests) QCoreApplication::quit();
    });
    check.start(10);
    QCoreApplication::exec();
    driver.Disconnect();
    stop = true;
    meter.join();
    ::close(master);
    ::close(slave);

    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))]; };
    return {at(0.5), at(0.99), latencies.back(), latencies.size()};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    constexpr int kRequests = 300;
    for (bool arrival : {false, true}) {
        const Figures f = measure(arrival, kRequests);
        std::printf("poll-to-reading, %-22s median %.2f ms, p99 %.2f ms, worst %.2f ms (%zu readings)\n",
                    arrival ? "read as bytes arrive:" : "50 ms poll tick:", f.medianMs, f.p99Ms, f.worstMs,
                    f.readings);
    }
    return 0;
}
