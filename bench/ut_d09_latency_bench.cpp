// ut_d09_latency_bench: how long a reading takes from the request to the
// decoded answer over the UT-D09 cable, simulated in this process (a CP2110
// with a UT61E+ behind it; the bridge hands the answer over in 8-byte
// reports, as the real one does in small ones). The link's output report, the
// read thread's hand-over to the event loop and the decoder are all in the
// figure; the meter's own time to answer is not.
//
//   build/bench/ut_d09_latency_bench [REQUESTS]
//
// Prints the median, 95th percentile and worst latency in milliseconds.
#include "links/bridge_meter_link.h"
#include "links/bridge_meter_twin.h"
#include "protocol/meters/meter_decoder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    auto sim = std::make_shared<SimulatedHidPlatform>();
    const meterlink::MeterModel& model = *meterlink::findMeter("UT61E+");
    BridgeMeterTwin twin(*sim, "cable", model);
    twin.plug();
    BridgeMeterLink link(sim, model);
    link.setPolling(false);
    auto decoder = meterlink::makeDecoder(model, ".");
    link.setBytesHandler([&](const std::uint8_t* d, std::size_t n) { decoder->feed(d, n); });
    QString error;
    if (!link.open(error)) {
        std::fprintf(stderr, "ut_d09_latency_bench: %s\n", qPrintable(error));
        return 1;
    }
    QEventLoop wait;
    decoder->setHandler([&](const meterlink::MeterDecoder&) { wait.quit(); });
    // The read thread opens its handle on its own time: the first answer waits for it.
    QTimer::singleShot(200, &wait, &QEventLoop::quit);
    wait.exec();

    using Clock = std::chrono::steady_clock;
    std::vector<double> ms;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &wait, &QEventLoop::quit);
    for (int i = 0; i < requests; ++i) {
        const std::size_t before = decoder->decodedCount();
        const Clock::time_point t0 = Clock::now();
        link.send(meterlink::AbCdCommand::Measure);
        timeout.start(1000);
        if (decoder->decodedCount() == before) wait.exec();
        if (decoder->decodedCount() == before) {
            std::fprintf(stderr, "ut_d09_latency_bench: request %d got no answer\n", i);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("requests %d  median %.3f ms  p95 %.3f ms  worst %.3f ms  rejected %zu\n", requests,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back(), decoder->rejectedCount());
    return 0;
}
