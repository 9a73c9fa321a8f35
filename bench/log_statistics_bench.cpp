// log_statistics_bench: statistics and decimation of a long log.
//   1. Taking in rows: time per row of the summaries as rows are appended.
//   2. Statistics of a random range of a 10,000,000-row log (target: under
//      1 ms), beside a plain scan of the same range.
//   3. Min/max decimation of a random zoom into 2,000 columns.
//   4. Memory of the summaries and the decimation per row (target: at most
//      8 bytes a row together).
// Prints the figures beside their targets with PASS or FAIL and exits 0
// either way: these are measurements, not tests.
//
//   build/bench/log_statistics_bench [ROWS]     default 10000000

#include "recording/decimation.h"
#include "recording/log_statistics.h"
#include "recording/record_table.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace meterlink;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The machine is shared: the thread's own CPU time leaves out the waits for it.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())))];
}

// A log as the window makes it: a drifting reading, a range change now and
// then, a failing stretch now and then, one row a second.
void fill(RecordTable& table, long rows) {
    static const char* const kUnits[] = {"V", "mV", "k*", "A"};
    const RecordTable::Batch quiet(table);
    std::int64_t ms = 1'765'000'000'000;
    for (long i = 0; i < rows; ++i) {
        const long count = 1000 + (i * 7919) % 5000;
        const std::string value = std::to_string(count / 1000) + "." + std::to_string(1000 + count % 1000).substr(1);
        RecordTable::Row r;
        r.no = static_cast<std::int32_t>(i + 1);
        r.text[RecordTable::Time] = "12:00:00";
        r.text[RecordTable::DCAC] = "DC";
        r.text[RecordTable::Value] = QByteArrayView(value.data(), static_cast<qsizetype>(value.size()));
        r.text[RecordTable::Unit] = kUnits[(i / 20000) % 4];
        r.text[RecordTable::Auto] = count > 5900 ? "Fail" : "pass";
        r.fullTime = FullTime{ms += 1000, 60};
        table.append(r);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 10'000'000L;
    std::printf("A log of %ld rows\n", rows);
    RecordTable table;
    auto t0 = Clock::now();
    fill(table, rows);
    std::printf("  filling the record table: %.0f ms\n", msSince(t0));

    RecordTablePoints points(table, ".");
    points.sync();
    LogStatistics stats(points);
    Decimation dec(stats);
    t0 = Clock::now();
    stats.catchUp();
    const double statsMs = msSince(t0);
    t0 = Clock::now();
    dec.catchUp();
    const double decMs = msSince(t0);
    std::printf("1. Taking in rows (reading each row of the table): statistics %.0f ns a row, decimation %.0f ns a row\n",
                statsMs * 1e6 / double(rows), decMs * 1e6 / double(rows));

    std::mt19937_64 rng(7);
    std::vector<double> query, scan;
    std::vector<double> queryWall;
    for (int i = 0; i < 1000; ++i) {
        std::size_t a = rng() % static_cast<std::size_t>(rows), b = rng() % static_cast<std::size_t>(rows);
        if (a > b) std::swap(a, b);
        t0 = Clock::now();
        const double c0 = cpuMs();
        const auto figures = stats.range(a, b + 1);
        query.push_back(cpuMs() - c0);
        queryWall.push_back(msSince(t0));
        if (figures.empty()) std::printf("no figures?\n");
        if (i < 5) {
            // A plain pass over the same rows, what a range costs without summaries.
            t0 = Clock::now();
            double sum = 0;
            for (std::size_t r = a; r <= b; ++r) sum += points.point(r).value;
            scan.push_back(msSince(t0));
            if (sum == 0.123) std::printf(" ");
        }
    }
    std::printf("2. Statistics of a random range (CPU time): median %.3f ms, 99th percentile %.3f ms, max %.3f ms "
                "(target < 1 ms) %s\n",
                median(query), percentile(query, 0.99), percentile(query, 1.0), verdict(percentile(query, 0.99) < 1.0));
    std::printf("   wall clock: median %.3f ms, 99th percentile %.3f ms\n", median(queryWall), percentile(queryWall, 0.99));
    std::printf("   the same ranges by a plain scan: median %.1f ms\n", median(scan));

    std::vector<double> zoom;
    for (int i = 0; i < 50; ++i) {
        std::size_t span = static_cast<std::size_t>(rows) >> (rng() % 20);
        span = std::max<std::size_t>(span, 2);
        const std::size_t a = rng() % (static_cast<std::size_t>(rows) - span + 1);
        const double c0 = cpuMs();
        const auto cols = dec.byRows(BaseUnit::V, a, a + span, 2000);
        zoom.push_back(cpuMs() - c0);
        if (cols.empty()) std::printf("no columns?\n");
    }
    std::vector<double> zoomTime;
    for (int i = 0; i < 50; ++i) {
        const std::int64_t spanMs = (rows * 1000LL) >> (rng() % 20);
        const std::int64_t t = 1'765'000'000'000 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(rows * 1000LL - spanMs + 1));
        const double c0 = cpuMs();
        const auto cols = dec.byTime(BaseUnit::V, t, t + spanMs, 2000);
        zoomTime.push_back(cpuMs() - c0);
        if (cols.empty()) std::printf("no columns?\n");
    }
    std::printf("3. Decimation of a random zoom into 2000 columns (CPU time): by rows median %.2f ms (max %.2f), by time median %.2f ms (max %.2f)\n",
                median(zoom), percentile(zoom, 1.0), median(zoomTime), percentile(zoomTime, 1.0));

    const double statsBytes = double(stats.bytesUsed()) / double(rows);
    const double decBytes = double(dec.bytesUsed()) / double(rows);
    std::printf("4. Memory a row: summaries %.2f bytes, decimation %.2f bytes, together %.2f (target <= 8) %s\n",
                statsBytes, decBytes, statsBytes + decBytes, verdict(statsBytes + decBytes <= 8.0));
    return 0;
}
