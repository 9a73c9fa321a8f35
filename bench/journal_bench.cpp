// journal_bench: what the journal and the exports cost.
//   1. The GUI thread's added time per logged row for the journal (target:
//      under 20 us): logging one reading in a window with its journal and in
//      one without, in turns, CPU time of the GUI thread, medians.
//   2. CPU while logging 3 rows a second, with and without the journal
//      (target: the journal adds under 0.05 percentage points), the whole
//      process (the sync thread included).
//   3. Recovery of a 1,000,000-row journal: reading it and restoring the rows
//      into a window's log (target: under 2 s).
//   4. Converting 1,000,000 rows from a text data file to CSV, load and save
//      (target: under 1 s).
// Prints the figures beside their targets; exits 0 either way.
//
//   build/bench/journal_bench [--quick]     --quick: 5 s CPU runs instead of 30 s

#include "app/tfcomm.h"
#include "logged_readings.h"
#include "window_bench_app.h"
#include "recording/data_files.h"
#include "recording/journal.h"
#include "recording/journal_format.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using meterlink::bench::logReadings;
using meterlink::bench::readingFor;

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

double threadMicroseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

double processSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void measureRowCost() {
    TFCOMM with, without;
    without.journal().finish();   // the same window, its journal ended
    with.show();
    without.show();
    long next = 0;
    constexpr int kRounds = 2000;
    std::vector<double> a, b;
    for (int i = 0; i < kRounds; ++i) {
        for (TFCOMM* w : {&with, &without}) {
            const meterlink::MeterReading r = readingFor(next++);
            const double start = threadMicroseconds();
            w->logger().INDataToTable(r);
            QCoreApplication::processEvents();
            (w == &with ? a : b).push_back(threadMicroseconds() - start);
        }
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    const double added = a[a.size() / 2] - b[b.size() / 2];
    std::printf("Logging one row in the window, GUI thread CPU, median of %d in turns:\n"
                "  with the journal %.1f us, without %.1f us: the journal adds %.1f us  target: under 20 us  %s\n",
                kRounds, a[a.size() / 2], b[b.size() / 2], added, verdict(added < 20));
}

double cpuPercentAt3RowsPerSecond(bool journal, int seconds) {
    TFCOMM w;
    if (!journal) w.journal().finish();
    w.show();
    long next = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { w.logger().INDataToTable(readingFor(next++)); });
    tick.start(333);
    QElapsedTimer wall;
    const double cpu0 = processSeconds();
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = processSeconds() - cpu0;
    return 100.0 * cpu / (static_cast<double>(wall.elapsed()) / 1000.0);
}

void measureCpu(int seconds) {
    // In turns, twice each, so that drift of the machine weighs on both.
    double with = 0, without = 0;
    for (int i = 0; i < 2; ++i) {
        without += cpuPercentAt3RowsPerSecond(false, seconds) / 2;
        with += cpuPercentAt3RowsPerSecond(true, seconds) / 2;
    }
    std::printf("CPU while logging 3 rows/s (%d s runs, two each): with the journal %.3f %%, without %.3f %%: "
                "+%.3f points  target: under 0.05  %s\n",
                seconds, with, without, with - without, verdict(with - without < 0.05));
}

void measureRecoveryAndConvert() {
    constexpr long kRows = 1000000;
    QTemporaryDir dir;
    meterlink::RecordTable logged;
    meterlink::TChartControl pager(100);
    meterlink::RecordLogger logger(logged, pager);
    logger.setRecordLimit(meterlink::RecordLogger::kLimitless);
    logReadings(logger, logged, 0, kRows);
    std::string bytes = meterlink::journalHeader();
    for (int r = 0; r < logged.rowCount(); ++r)
        meterlink::appendJournalRow(bytes, logged, r, readingFor(r).ChartValue);
    const QString journal = dir.filePath(QStringLiteral("big.journal"));
    {
        QFile f(journal);
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    TFCOMM w;
    QElapsedTimer t;
    t.start();
    QFile f(journal);
    f.open(QIODevice::ReadOnly);
    meterlink::JournalContents contents;
    meterlink::readJournal(f.readAll(), contents);
    w.logger().setRecordLimit(meterlink::RecordLogger::kLimitless);
    w.logger().restore(contents.rows, contents.chartValues);
    QCoreApplication::processEvents();
    const double recovery = static_cast<double>(t.elapsed()) / 1000.0;
    std::printf("Recovery of a %ld-row journal (%.0f MB): read and restored into the window in %.2f s  "
                "target: under 2 s  %s\n",
                kRows, static_cast<double>(bytes.size()) / 1e6, recovery,
                verdict(recovery < 2 && w.recordTable().rowCount() == kRows));

    const QString txt = dir.filePath(QStringLiteral("big.txt"));
    const QString csv = dir.filePath(QStringLiteral("big.csv"));
    meterlink::saveTableToFile(logged, txt);
    t.restart();
    meterlink::RecordTable loaded;
    const bool ok = meterlink::LoadTableFromFile(txt, loaded, false) && meterlink::saveTableToFile(loaded, csv);
    const double convert = static_cast<double>(t.elapsed()) / 1000.0;
    t.restart();
    meterlink::saveTableToFile(logged, dir.filePath(QStringLiteral("timed.csv")));
    const double csvOnly = static_cast<double>(t.elapsed()) / 1000.0;
    std::printf("Convert of %ld rows from text to CSV (load and save): %.2f s (the CSV save alone, rows with full "
                "times: %.2f s)  target: under 1 s  %s\n",
                kRows, convert, csvOnly, verdict(ok && convert < 1));
}

}  // namespace

int main(int argc, char** argv) {
    const meterlink::bench::WindowBenchApp app(argc, argv);
    const bool quick = app.quick();
    measureRowCost();
    measureRecoveryAndConvert();
    measureCpu(quick ? 5 : 30);
    return 0;
}
