// hid_hand_over_bench: what it costs to hand one input report from a HID read
// thread to the GUI thread and back.
//   1. The bare hand-over: a worker thread hands an empty call over again and
//      again; each round trip (post, run on the GUI thread, release) is timed
//      on the worker.
//   2. Through a device: reports queued on a simulated cable are read by the
//      device's read thread and handed to a data handler one by one; the time
//      per report is the whole run over the number of reports.
// Target: under 50 us per hand-over. Prints the figures with PASS or FAIL and
// exits 0 either way: these are measurements, not tests.

#include "links/blocking_hand_over.h"
#include "links/hid_device_controller.h"
#include "links/simulated_hid_platform.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTargetUs = 50.0;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

void bareHandOver(int count) {
    auto handOver = BlockingHandOver::create();
    std::vector<double> us(static_cast<std::size_t>(count));
    long calls = 0;
    const std::function<void()> call = [&calls] { ++calls; };
    std::thread worker([&] {
        for (int i = 0; i < count; ++i) {
            const auto t0 = Clock::now();
            handOver->run(call);
            us[static_cast<std::size_t>(i)] = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                                  Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    worker.join();
    const double median = percentile(us, 0.5);
    std::printf("Hand-over round trip, worker -> GUI thread -> worker (%d calls, %ld run):\n", count, calls);
    std::printf("  min %.1f us  median %.1f us  p95 %.1f us  p99 %.1f us  max %.1f us\n", percentile(us, 0),
                median, percentile(us, 0.95), percentile(us, 0.99), percentile(us, 1));
    std::printf("  target: median under %.0f us  %s\n", kTargetUs, verdict(median < kTargetUs));
}

void throughDevice(int count) {
    auto sim = std::make_shared<SimulatedHidPlatform>();
    sim->plug(SimulatedHidPlatform::cable("cable"));
    THidDeviceController controller(sim);
    auto cable = controller.CheckOutDevice(0);
    const std::vector<std::uint8_t> report{0x00, 0xF7, '+', '1', '2', '3', '4', ' ', '2'};
    int received = 0;
    Clock::time_point start, end;
    cable->SetDataHandler([&](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (received++ == 0) start = Clock::now();
        if (received == count) {
            end = Clock::now();
            QCoreApplication::exit(0);
        }
    });
    // Fill the queue only once the read thread has its handle open.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (sim->readers("cable") == 0) return;
        poll.stop();
        for (int i = 0; i < count; ++i) sim->sendReport("cable", report);
    });
    poll.start(1);
    QCoreApplication::exec();
    cable->SetDataHandler(nullptr);
    const double perReport = std::chrono::duration<double, std::micro>(end - start).count() / (count - 1);
    std::printf("Reports through a device's read thread to its handler (%d reports):\n", count);
    std::printf("  %.1f us per report (%.0f reports/s)\n", perReport, 1e6 / perReport);
    std::printf("  target: under %.0f us  %s\n", kTargetUs, verdict(perReport < kTargetUs));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("MeterLink HID hand-over benchmark\n");
    bareHandOver(20000);
    throughDevice(20000);
    std::fflush(stdout);
    return 0;
}
