// logging_bench: what the log costs as it grows.
//   1. Memory: resident bytes per logged row at 1,000,000 rows, the record
//      table and the chart's points together (target: at most 64), and
//      whether 10,000,000 rows (the "limitless" record limit) fit.
//   2. Time: logging one reading in the real window, offscreen: the logging
//      rules, the table, the grid model, the chart pager and the repaint of
//      the grid and the chart, with 1,000, 1,000,000 and 10,000,000 rows
//      already logged (target: at most 1.5 times the first at 1M, at most 2
//      times at 10M).
// Prints the figures beside their targets with PASS or FAIL and exits 0
// either way: these are measurements, not tests.
//
//   build/bench/logging_bench [--quick]     --quick stops at 1,000,000 rows

#include "resident_bytes.h"

#include "app/meter_chart.h"
#include "app/record_grid.h"
#include "app/tfcomm.h"
#include "recording/chart_pager.h"
#include "recording/record_logger.h"
#include "recording/record_table.h"
#include "logged_readings.h"
#include "window_bench_app.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>
#include <memory>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using meterlink::MeterReading;
using meterlink::RecordLogger;
using meterlink::RecordTable;
using meterlink::TChartControl;
using meterlink::bench::logReadings;
using meterlink::bench::readingFor;

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

void measureMemory(bool quick) {
    std::printf("Memory of the log (record table and chart points), resident:\n");
    for (long rows : {1000000L, 10000000L}) {
        if (quick && rows > 1000000L) break;
        const long before = residentBytes();
        {
            RecordTable table;
            TChartControl pager(100);
            long tick = 0;
            RecordLogger logger(table, pager, meterlink::TimeTexts(QLocale::c()),
                                [&tick] { return QTime(0, 0).addSecs(static_cast<int>(tick++ % 86400)); });
            logger.setRecordLimit(RecordLogger::kLimitless);
            logReadings(logger, table, 0, rows);
            const long grown = residentBytes() - before;
            const double perRow = static_cast<double>(grown) / static_cast<double>(rows);
            std::printf("  %9ld rows: %7.1f MiB resident, %.1f bytes per row (held: table %.1f MiB, points %.1f MiB)",
                        rows, static_cast<double>(grown) / 1048576.0, perRow,
                        static_cast<double>(table.bytesUsed()) / 1048576.0,
                        static_cast<double>(pager.bytesUsed()) / 1048576.0);
            if (rows == 1000000L) std::printf("\n    target: at most 64 bytes per row  %s\n", verdict(perRow <= 64));
            else std::printf("\n    10,000,000 rows fit  %s\n", verdict(table.rowCount() == rows));
        }
    }
}

// CPU time of this thread: other processes on the machine do not count.
double threadMilliseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Logging one reading in a window and painting what it changed, as the event
// loop does after a frame: the chart takes its points, and the grid, the
// chart and the page number are painted.
double millisecondsForOneReading(TFCOMM& window, long& next) {
    const MeterReading r = readingFor(next++);
    const double start = threadMilliseconds();
    window.logger().INDataToTable(r);
    QCoreApplication::processEvents();
    return threadMilliseconds() - start;
}

// One window per log size, measured in turns, so that whatever else the
// machine does at the time weighs on every size alike.
void measureTime(bool quick) {
    std::vector<long> sizes{1000L, 1000000L};
    if (!quick) sizes.push_back(10000000L);
    std::vector<std::unique_ptr<TFCOMM>> windows;
    std::vector<long> next;
    for (long rows : sizes) {
        auto window = std::make_unique<TFCOMM>();
        window->show();
        // Past "limitless" (ten million): the last size must still log.
        window->logger().setRecordLimit(std::numeric_limits<std::int32_t>::max());
        logReadings(window->logger(), window->recordTable(), 0, rows);
        QCoreApplication::processEvents();
        windows.push_back(std::move(window));
        next.push_back(rows);
    }
    constexpr int kRounds = 400;
    std::vector<std::vector<double>> times(sizes.size());
    for (int round = 0; round < kRounds; ++round)
        for (std::size_t w = 0; w < windows.size(); ++w)
            times[w].push_back(millisecondsForOneReading(*windows[w], next[w]));

    std::printf("Logging one reading in the window (rules, table, grid, chart pager, repaint),\n"
                "CPU time of the GUI thread, median of %d taken in turns:\n", kRounds);
    double first = 0;
    for (std::size_t w = 0; w < sizes.size(); ++w) {
        std::sort(times[w].begin(), times[w].end());
        const double ms = times[w][times[w].size() / 2];
        std::printf("  %9ld rows logged before: %.3f ms", sizes[w], ms);
        if (w == 0) {
            first = ms;
            std::printf("\n");
            continue;
        }
        const double limit = sizes[w] == 1000000L ? 1.5 : 2.0;
        std::printf(" = %.2f x the first  target: at most %.1f x  %s\n", ms / first, limit,
                    verdict(ms <= limit * first));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const meterlink::bench::WindowBenchApp app(argc, argv);
    const bool quick = app.quick();
    measureMemory(quick);
    measureTime(quick);
    return 0;
}
