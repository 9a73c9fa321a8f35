// The analysis window on a ten-million-row log: the redraw after a zoom or a
// pan step (median of 50 random steps), the time to take the log in, and
// what logging 3 rows a second costs the process with the window open
// against the same without it.
//
//   analysis_window_bench            10,000,000 rows, 20 s of logging each way
//   analysis_window_bench --quick    1,000,000 rows, 6 s each way

#include "window_bench_app.h"

#include "app/analysis/analysis_chart.h"
#include "app/analysis/analysis_window.h"
#include "recording/record_table.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using meterlink::RecordTable;
using meterlink::analysis::AnalysisWindow;
using meterlink::analysis::ViewSpan;

namespace {

constexpr std::int64_t kStartMs = 1'796'893'200'000;

void appendRow(RecordTable& table, int no, double volts, std::int64_t utcMs) {
    char value[32];
    std::snprintf(value, sizeof value, "%.3f", volts);
    RecordTable::Row row;
    row.no = no;
    row.text[RecordTable::Time] = "10:00:00";
    row.sharedTime = true;
    row.text[RecordTable::DCAC] = "DC";
    row.text[RecordTable::Value] = value;
    row.text[RecordTable::Unit] = "V";
    row.text[RecordTable::Auto] = volts > 5.5 ? "Fail" : "pass";
    row.fullTime = meterlink::FullTime{utcMs, 60};
    table.append(row);
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Logs 3 rows a second for `seconds`; the share of one core the process used.
double loggingLoad(RecordTable& table, int seconds) {
    int no = table.rowCount();
    QTimer tick;
    tick.setInterval(333);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(5.0, 0.05);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++no;
        appendRow(table, no, noise(random), kStartMs + static_cast<std::int64_t>(no) * 333);
    });
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    tick.start();
    loop.exec();
    return (cpuSeconds() - cpu0) / (static_cast<double>(wall.elapsed()) / 1000.0) * 100.0;
}

}  // namespace

int main(int argc, char** argv) {
    meterlink::bench::WindowBenchApp app(argc, argv);
    const int rows = app.quick() ? 1'000'000 : 10'000'000;
    const int seconds = app.quick() ? 6 : 20;

    RecordTable table;
    {
        RecordTable::Batch batch(table);
        std::mt19937 random(1);
        std::normal_distribution<double> noise(0, 0.02);
        for (int i = 0; i < rows; ++i) {
            double v = 5.0 + 0.3 * std::sin(i * 1e-4) + noise(random);
            if (i % 1'000'003 == 500'000) v = 9.5;   // spikes to keep visible
            appendRow(table, i + 1, v, kStartMs + static_cast<std::int64_t>(i) * 333);
        }
    }

    // Logging without the window first, then with it open and following.
    const double without = loggingLoad(table, seconds);

    QElapsedTimer took;
    took.start();
    AnalysisWindow window(table, QStringLiteral("."));
    window.resize(1280, 720);
    window.show();
    window.catchUpNow();
    const double intake = static_cast<double>(took.elapsed());
    QCoreApplication::processEvents();

    // Redraws after random zoom and pan steps, drawn into a picture the size
    // of the chart (what a repaint does, without the screen).
    auto& chart = *window.chart();
    QImage picture(chart.size(), QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::vector<double> ms;
    const ViewSpan all = chart.view();
    ViewSpan view = all;
    for (int step = 0; step < 50; ++step) {
        const double anchor = view.t0 + share(random) * view.timeSpan();
        switch (step % 3) {
        case 0: view = view.zoomedTime(std::pow(0.8, 1 + static_cast<int>(share(random) * 8)), anchor); break;
        case 1: view = view.panned((share(random) - 0.5) * view.timeSpan(), 0); break;
        default: view = view.zoomedTime(1 / 0.8, anchor); break;
        }
        if (view.timeSpan() < 60'000 || share(random) < 0.1) view = all;   // now and then from the top again
        QElapsedTimer t;
        t.start();
        chart.setView(view);
        QPainter p(&picture);
        chart.paintChart(p, picture.rect());
        p.end();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());

    const double with = loggingLoad(table, seconds);

    std::printf("rows: %d\n", rows);
    std::printf("taking the log in (statistics, decimation, timeline): %.0f ms\n", intake);
    std::printf("redraw after a zoom or pan step: median %.2f ms, slowest %.2f ms (50 steps, %dx%d px)\n",
                ms[ms.size() / 2], ms.back(), picture.width(), picture.height());
    std::printf("logging 3 rows/s for %d s: %.3f %% of a core without the window, %.3f %% with it (%+.3f points)\n",
                seconds, without, with, with - without);
    return 0;
}
