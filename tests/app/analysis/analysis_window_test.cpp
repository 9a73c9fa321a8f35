// The analysis window driven as a user drives it: wheel, drags, clicks and
// keys sent as synthetic events, offscreen; with a live log that grows, logs
// beside it, and the awkward logs older files and odd clocks make.
#include "app/analysis/analysis_chart.h"
#include "app/analysis/analysis_window.h"
#include "app/analysis/log_trace.h"
#include "app/analysis/row_timeline.h"
#include "synthetic_log.h"
#include "tests/app/window_test_support.h"

#include "recording/data_files.h"
#include "recording/record_table.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

using meterlink::RecordTable;
using meterlink::analysis::AnalysisChart;
using meterlink::analysis::AnalysisWindow;
using meterlink::analysis::ViewSpan;
using synthetic::kStartMs;

namespace {

// A window on a log of n rows a second apart, laid out and drawn.
struct WindowOnLog {
    RecordTable live;
    AnalysisWindow window;

    explicit WindowOnLog(int n, const std::function<synthetic::Reading(int)>& reading = synthetic::wave)
        : window((synthetic::fill(live, n, 1000, reading), live), QStringLiteral(".")) {
        window.resize(1100, 640);
        window.show();
        window.catchUpNow();
        QApplication::processEvents();
    }
    AnalysisChart& chart() { return *window.chart(); }
    QPointF at(double share) {   // a point across the plot, at mid height
        const QRectF plot = chart().plotRect();
        return {plot.left() + share * plot.width(), plot.center().y()};
    }
};

void wheel(QWidget& w, QPointF at, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
}

void drag(QWidget& w, QPointF from, QPointF to, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent press(QEvent::MouseButtonPress, from, w.mapToGlobal(from), button, button, mods);
    QApplication::sendEvent(&w, &press);
    for (int k = 1; k <= 4; ++k) {
        const QPointF p = from + (to - from) * (k / 4.0);
        QMouseEvent move(QEvent::MouseMove, p, w.mapToGlobal(p), Qt::NoButton, button, mods);
        QApplication::sendEvent(&w, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, to, w.mapToGlobal(to), button, Qt::NoButton, mods);
    QApplication::sendEvent(&w, &release);
}

void click(QWidget& w, QPointF at, Qt::MouseButton button) { drag(w, at, at, button); }

TEST(AnalysisWindow, shows_the_whole_log_on_a_time_axis_at_first) {
    WindowOnLog w(600);
    const ViewSpan v = w.chart().view();
    EXPECT_LE(v.t0, kStartMs);
    EXPECT_GE(v.t1, kStartMs + 599'000);
    EXPECT_LT(v.v0, 5.0);   // sin(0.002 i) for 600 rows: 5.000 .. 5.373 V
    EXPECT_GT(v.v1, 5.373);
    EXPECT_LT(v.v1, 5.5);   // fitted to the values, not to the meter's range
    EXPECT_TRUE(w.chart().following());
}

struct WheelCase {
    const char* name;
    int delta;
    Qt::KeyboardModifiers mods;
    bool zoomsTime;
    bool zoomsIn;
};

class WheelZoom : public ::testing::TestWithParam<WheelCase> {};

TEST_P(WheelZoom, keeps_the_place_under_the_pointer) {
    const WheelCase& c = GetParam();
    WindowOnLog w(600);
    const ViewSpan before = w.chart().view();
    const QPointF at = w.at(0.3) + QPointF(0, -40);
    const double t = w.chart().timeAt(at.x()), v = w.chart().valueAt(at.y());
    wheel(w.chart(), at, c.delta, c.mods);
    const ViewSpan after = w.chart().view();
    // Zooming time fits the values to what is left in view; zooming values keeps the time.
    if (c.zoomsTime)
        EXPECT_NEAR(w.chart().timeAt(at.x()), t, 1e-3 * before.timeSpan());
    else
        EXPECT_NEAR(w.chart().valueAt(at.y()), v, 1e-6 * before.valueSpan());
    const double timeRatio = after.timeSpan() / before.timeSpan();
    const double valueRatio = after.valueSpan() / before.valueSpan();
    if (c.zoomsTime) {
        EXPECT_EQ(timeRatio < 1, c.zoomsIn);
        EXPECT_NE(timeRatio, 1);
        (void)valueRatio;
    } else {
        EXPECT_DOUBLE_EQ(timeRatio, 1);
        EXPECT_EQ(valueRatio < 1, c.zoomsIn);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wheel, WheelZoom,
    ::testing::Values(WheelCase{"up_zooms_time_in", 120, Qt::NoModifier, true, true},
                      WheelCase{"down_zooms_time_out", -240, Qt::NoModifier, true, false},
                      WheelCase{"ctrl_up_zooms_values_in", 120, Qt::ControlModifier, false, true},
                      WheelCase{"ctrl_down_zooms_values_out", -120, Qt::ControlModifier, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnalysisWindow, drag_pans_and_leaves_the_newest_row_behind) {
    WindowOnLog w(600);
    wheel(w.chart(), w.at(0.5), 480);   // zoomed in around the middle
    const ViewSpan before = w.chart().view();
    const double pixels = 200;
    drag(w.chart(), w.at(0.5), w.at(0.5) + QPointF(pixels, 0), Qt::LeftButton);
    const ViewSpan after = w.chart().view();
    EXPECT_NEAR(after.t0, before.t0 - pixels / w.chart().plotRect().width() * before.timeSpan(), 1.0);
    EXPECT_NEAR(after.timeSpan(), before.timeSpan(), 1e-6);
    EXPECT_FALSE(w.chart().following());
    EXPECT_FALSE(w.window.followButton()->isChecked());
    EXPECT_FALSE(w.chart().cursorA());   // a drag sets no cursor
}

struct BandCase {
    const char* name;
    Qt::MouseButton button;
    Qt::KeyboardModifiers mods;
};

class RubberBand : public ::testing::TestWithParam<BandCase> {};

TEST_P(RubberBand, zooms_to_the_rectangle) {
    WindowOnLog w(600);
    const QRectF plot = w.chart().plotRect();
    const QPointF a(plot.left() + 100, plot.top() + 50), b(plot.left() + 300, plot.top() + 250);
    const double t0 = w.chart().timeAt(a.x()), t1 = w.chart().timeAt(b.x());
    const double v1 = w.chart().valueAt(a.y()), v0 = w.chart().valueAt(b.y());
    drag(w.chart(), b, a, GetParam().button, GetParam().mods);   // drawn from the lower right
    const ViewSpan v = w.chart().view();
    EXPECT_NEAR(v.t0, t0, 1);
    EXPECT_NEAR(v.t1, t1, 1);
    EXPECT_NEAR(v.v0, v0, 1e-9);
    EXPECT_NEAR(v.v1, v1, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Band, RubberBand,
                         ::testing::Values(BandCase{"right_drag", Qt::RightButton, Qt::NoModifier},
                                           BandCase{"shift_drag", Qt::LeftButton, Qt::ShiftModifier}),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    double dt0, dSpanT, dv0, dSpanV;   // expected changes, as shares of the spans before
};

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, step_as_the_mouse_does) {
    const KeyCase& c = GetParam();
    WindowOnLog w(600);
    wheel(w.chart(), w.at(0.5), 240);
    wheel(w.chart(), w.at(0.5), 120, Qt::ControlModifier);
    const ViewSpan b = w.chart().view();
    QTest::keyClick(&w.chart(), static_cast<Qt::Key>(c.key), c.mods);
    const ViewSpan a = w.chart().view();
    EXPECT_NEAR((a.t0 - b.t0) / b.timeSpan(), c.dt0, 1e-6);
    EXPECT_NEAR(a.timeSpan() / b.timeSpan(), c.dSpanT, 1e-6);
    EXPECT_NEAR((a.v0 - b.v0) / b.valueSpan(), c.dv0, 1e-6);
    EXPECT_NEAR(a.valueSpan() / b.valueSpan(), c.dSpanV, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Key, Keys,
    ::testing::Values(KeyCase{"left_pans_back", Qt::Key_Left, Qt::NoModifier, -0.1, 1, 0, 1},
                      KeyCase{"right_pans_on", Qt::Key_Right, Qt::NoModifier, 0.1, 1, 0, 1},
                      KeyCase{"up_pans_values", Qt::Key_Up, Qt::NoModifier, 0, 1, 0.1, 1},
                      KeyCase{"down_pans_values", Qt::Key_Down, Qt::NoModifier, 0, 1, -0.1, 1},
                      KeyCase{"plus_zooms_time", Qt::Key_Plus, Qt::NoModifier, 0.1, 0.8, 0, 1},
                      KeyCase{"minus_zooms_time_out", Qt::Key_Minus, Qt::NoModifier, -0.125, 1.25, 0, 1},
                      KeyCase{"ctrl_plus_zooms_values", Qt::Key_Plus, Qt::ControlModifier, 0, 1, 0.1, 0.8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnalysisWindow, home_and_double_click_show_everything_again) {
    WindowOnLog w(600);
    const ViewSpan all = w.chart().view();
    wheel(w.chart(), w.at(0.2), 600);
    drag(w.chart(), w.at(0.5), w.at(0.7), Qt::LeftButton);
    ASSERT_FALSE(w.chart().view() == all);
    QTest::keyClick(&w.chart(), Qt::Key_Home);
    EXPECT_EQ(w.chart().view(), all);
    EXPECT_TRUE(w.chart().following());
    wheel(w.chart(), w.at(0.2), 600);
    QTest::mouseDClick(&w.chart(), Qt::LeftButton, Qt::NoModifier, w.at(0.5).toPoint());
    EXPECT_EQ(w.chart().view(), all);
}

TEST(AnalysisWindow, cursors_give_the_differences_and_the_statistics_between) {
    // A ramp: 1 mV a second.
    WindowOnLog w(600, [](int i) { return synthetic::Reading{synthetic::volts(1.0 + i * 0.001), "V", "pass", {}}; });
    const double ta = kStartMs + 100'000, tb = kStartMs + 400'000;
    click(w.chart(), {w.chart().xOf(ta), w.at(0).y()}, Qt::LeftButton);
    click(w.chart(), {w.chart().xOf(tb), w.at(0).y()}, Qt::RightButton);
    ASSERT_TRUE(w.chart().cursorA());
    ASSERT_TRUE(w.chart().cursorB());
    const double secondsPerPixel = w.chart().view().timeSpan() / w.chart().plotRect().width() / 1000;
    EXPECT_NEAR(*w.chart().cursorA(), ta, 1000 * secondsPerPixel);
    EXPECT_NEAR(*w.chart().cursorB(), tb, 1000 * secondsPerPixel);
    // Set exactly, by the keys' road: the figures below are then known.
    w.chart().setCursorA(ta);
    w.chart().setCursorB(tb);
    const QString text = w.window.cursorLabel()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("Δt</b> 5 min 00 s"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Δ</b> 300 mV"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("slope</b> 1 mV/s"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("between: 301 rows"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("mean 1.25 V"))) << text.toStdString();
    // Z zooms to them.
    QTest::keyClick(&w.chart(), Qt::Key_Z);
    EXPECT_DOUBLE_EQ(w.chart().view().t0, ta);
    EXPECT_DOUBLE_EQ(w.chart().view().t1, tb);
    QTest::keyClick(&w.chart(), Qt::Key_Escape);
    EXPECT_FALSE(w.chart().cursorA());
}

TEST(AnalysisWindow, crosshair_reads_time_value_row_and_verdict) {
    WindowOnLog w(600, [](int i) {
        return synthetic::Reading{synthetic::volts(i == 300 ? 7.5 : 5.0), "V", i == 300 ? "Fail" : "pass", {}};
    });
    const QPointF at(w.chart().xOf(kStartMs + 300'000), w.at(0).y());
    QMouseEvent move(QEvent::MouseMove, at, w.chart().mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w.chart(), &move);
    const QString text = w.window.readoutLabel()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("2026-12-10 10:05:00.000"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("7.5 V"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("row 301 (No. 301)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Fail"))) << text.toStdString();
}

TEST(AnalysisWindow, follows_new_rows_until_the_user_looks_back_and_follow_returns) {
    WindowOnLog w(300);
    synthetic::fill(w.live, 30, 1000, synthetic::wave, kStartMs + 300'000);
    w.window.catchUpNow();
    w.chart().setFollowing(true);
    const double span = w.chart().view().timeSpan();
    synthetic::fill(w.live, 120, 1000, synthetic::wave, kStartMs + 330'000);
    ASSERT_TRUE(waitFor([&] { return w.chart().view().t1 >= kStartMs + 449'000; }));
    EXPECT_NEAR(w.chart().view().timeSpan(), span, 1);   // moved along, not squeezed

    drag(w.chart(), w.at(0.3), w.at(0.8), Qt::LeftButton);   // into the past
    const ViewSpan held = w.chart().view();
    ASSERT_FALSE(w.chart().following());
    synthetic::fill(w.live, 60, 1000, synthetic::wave, kStartMs + 450'000);
    ASSERT_TRUE(waitFor([&] { return w.window.trace(0).rowCount() == 510; }));   // taken in, and
    QApplication::processEvents();
    EXPECT_EQ(w.chart().view(), held);                                              // the view stood still

    w.window.followButton()->click();
    EXPECT_TRUE(w.chart().following());
    EXPECT_GE(w.chart().view().t1, kStartMs + 509'000);
}

TEST(AnalysisWindow, a_log_of_several_units_shows_one_and_lets_the_user_choose) {
    WindowOnLog w(400, [](int i) {
        return i < 200 ? synthetic::Reading{synthetic::volts(5), "V", "pass", {}}
                       : synthetic::Reading{synthetic::volts(2.2), "k*", "pass", {}};
    });
    QComboBox* units = w.window.unitChoice();
    ASSERT_EQ(units->count(), 2);
    EXPECT_EQ(units->currentText(), QStringLiteral("V"));
    units->setCurrentIndex(1);
    EXPECT_EQ(units->currentText(), QStringLiteral("Ω"));
    const ViewSpan v = w.chart().view();
    EXPECT_LT(v.v0, 2200);
    EXPECT_GT(v.v1, 2200);
    EXPECT_LT(v.v1, 3000);
    EXPECT_TRUE(w.window.statisticsLabel()->text().contains(QStringLiteral("200 of 400 rows in Ω")));
}

TEST(AnalysisWindow, an_empty_log_draws_and_answers_every_step) {
    RecordTable live;
    AnalysisWindow window(live, QStringLiteral("."));
    window.resize(800, 500);
    window.show();
    window.catchUpNow();
    AnalysisChart& chart = *window.chart();
    wheel(chart, chart.plotRect().center(), 120);
    drag(chart, chart.plotRect().center(), chart.plotRect().center() + QPointF(50, 20), Qt::LeftButton);
    for (int key : {Qt::Key_Home, Qt::Key_Left, Qt::Key_Plus, Qt::Key_A, Qt::Key_B, Qt::Key_Z}) QTest::keyClick(&chart, static_cast<Qt::Key>(key));
    EXPECT_FALSE(chart.grab().isNull());
    window.refreshTexts();
    synthetic::fill(live, 5, 1000, synthetic::wave);   // the first rows arrive
    ASSERT_TRUE(waitFor([&] { return window.trace(0).rowCount() == 5; }));
    EXPECT_LE(chart.view().t0, kStartMs);
    EXPECT_GE(chart.view().t1, kStartMs + 4000);
}

TEST(RowTimeline, keeps_row_order_when_the_clock_goes_back_and_marks_placed_rows) {
    RecordTable table;
    const auto at = [](std::int64_t s) { return std::optional<std::int64_t>(kStartMs + s * 1000); };
    for (const auto& [no, utc] : std::vector<std::pair<int, std::optional<std::int64_t>>>{
             {1, at(0)}, {2, at(2)}, {3, at(4)}, {4, at(6)}, {5, std::nullopt}, {6, at(10)},
             {7, at(-3600)},   // the clock set back an hour
             {8, at(-3598)}}) {
        synthetic::Reading r{synthetic::volts(5), "V", "pass", utc};
        synthetic::append(table, no, r);
    }
    meterlink::RecordTablePoints points(table, ".");
    points.sync();
    meterlink::analysis::RowTimeline line;
    ASSERT_TRUE(line.catchUp(points, 3) == false);   // in slices
    ASSERT_TRUE(line.catchUp(points, 100));
    EXPECT_DOUBLE_EQ(line.intervalMs(), 2000);
    EXPECT_EQ(line.clockBackRows(), std::vector<int>{6});
    for (int r = 1; r < line.rowCount(); ++r) EXPECT_GT(line.at(r), line.at(r - 1)) << r;
    EXPECT_DOUBLE_EQ(line.at(6), line.at(5) + 2000);       // drawn after the row before, at the usual interval
    EXPECT_DOUBLE_EQ(line.at(7) - line.at(6), line.intervalMs());   // and the rows after it follow it
    ASSERT_EQ(line.placedRuns().size(), 1u);
    EXPECT_EQ(line.placedRuns()[0].first, 4);
    EXPECT_EQ(line.lowerBound(line.at(3) + 1), 4);
    EXPECT_TRUE(line.isGap(0, 6001));
    EXPECT_FALSE(line.isGap(0, 6000));
}

TEST(AnalysisWindow, logs_side_by_side_align_by_clock_or_by_start) {
    WindowOnLog w(600);
    // Yesterday's run, started two minutes later in the day.
    auto yesterday = std::make_unique<RecordTable>();
    synthetic::fill(*yesterday, 400, 1000, [](int i) {
        return synthetic::Reading{synthetic::volts(4.8 + 0.3 * std::cos(i * 0.02)), "V", i % 97 == 0 ? "Fail" : "pass", {}};
    }, kStartMs - 86'400'000 + 120'000);
    w.window.addLog(std::move(yesterday), QStringLiteral("yesterday.csv"));
    w.window.catchUpNow();
    ASSERT_EQ(w.window.traceCount(), 2);
    EXPECT_DOUBLE_EQ(w.window.trace(1).shiftMs(), 0);
    EXPECT_LE(w.chart().view().t0, kStartMs - 86'400'000 + 120'000);   // both days in view
    w.window.alignChoice()->setCurrentIndex(1);
    EXPECT_DOUBLE_EQ(w.window.trace(1).shiftMs(), 86'400'000 - 120'000);
    EXPECT_GE(w.chart().view().t0, kStartMs - 1000);
    EXPECT_LE(w.chart().view().t1, kStartMs + 700'000);
    const QString stats = w.window.statisticsLabel()->text();
    EXPECT_TRUE(stats.contains(QStringLiteral("yesterday.csv")));
    EXPECT_TRUE(stats.contains(QStringLiteral("Live log")));
    w.chart().setCursorA(kStartMs + 150'000);
    w.chart().setCursorB(kStartMs + 250'000);
    QApplication::processEvents();
    saveScreenshot(w.window.grab(), "analysis-side-by-side.png");
}

TEST(AnalysisWindow, a_log_added_while_lined_up_by_start_is_lined_up_too) {
    WindowOnLog w(600);
    w.window.alignChoice()->setCurrentIndex(1);
    auto yesterday = std::make_unique<RecordTable>();
    synthetic::fill(*yesterday, 400, 1000, [](int) {
        return synthetic::Reading{synthetic::volts(4.9), "V", "pass", {}};
    }, kStartMs - 86'400'000 + 120'000);
    w.window.addLog(std::move(yesterday), QStringLiteral("yesterday.csv"));
    // Taken in as the window's own slices take it, not by catchUpNow.
    ASSERT_TRUE(waitFor([&] { return w.window.trace(1).rowCount() == 400; }));
    EXPECT_DOUBLE_EQ(w.window.trace(1).shiftMs(), 86'400'000 - 120'000);
}

TEST(AnalysisWindow, opens_a_saved_log_in_the_background) {
    WindowOnLog w(100);
    QTemporaryDir dir;
    RecordTable saved;
    synthetic::fill(saved, 250, 1000, synthetic::wave);
    const QString file = dir.filePath(QStringLiteral("run.xml"));
    ASSERT_TRUE(meterlink::saveTableToFile(saved, file));
    QSignalSpy loaded(&w.window, &AnalysisWindow::loaded);
    w.window.openLog(file);
    ASSERT_TRUE(loaded.wait(10000));
    w.window.catchUpNow();
    ASSERT_EQ(w.window.traceCount(), 2);
    EXPECT_EQ(w.window.trace(1).rowCount(), 250);
    EXPECT_EQ(w.window.trace(1).name(), QStringLiteral("run.xml"));
    // The packet keeps times of day only: the log is lined up by its start,
    // not drawn decades before the live one.
    EXPECT_DOUBLE_EQ(w.window.trace(1).timeline().first() + w.window.trace(1).shiftMs(), kStartMs);
    EXPECT_GE(w.chart().view().t0, kStartMs - 60'000);
}

TEST(AnalysisWindow, a_file_that_is_no_log_is_refused_with_its_reason) {
    WindowOnLog w(10);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("broken.xml"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<not a packet");
    f.close();
    QSignalSpy failed(&w.window, &AnalysisWindow::failed);
    w.window.openLog(file);
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(w.window.traceCount(), 1);
}

TEST(AnalysisWindow, saves_the_view_as_png_svg_and_pdf) {
    WindowOnLog w(300);
    QTemporaryDir dir;
    for (const auto& [name, magic] : std::vector<std::pair<QString, QByteArray>>{
             {QStringLiteral("view.png"), QByteArray("\x89PNG")},
             {QStringLiteral("view.svg"), QByteArray("<?xml")},
             {QStringLiteral("view.pdf"), QByteArray("%PDF")}}) {
        QString reason;
        ASSERT_TRUE(w.window.saveView(dir.filePath(name), &reason)) << reason.toStdString();
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray head = f.read(64);
        EXPECT_TRUE(head.startsWith(magic)) << name.toStdString();
        EXPECT_GT(f.size(), 1000) << name.toStdString();
    }
    QString reason;
    EXPECT_FALSE(w.window.saveView(dir.filePath(QStringLiteral("no/such/folder/view.png")), &reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST(AnalysisWindow, a_spike_in_a_million_rows_stays_visible_and_cursors_measure_it) {
    constexpr int kRows = 1'000'000;
    constexpr int kSpike = 654'321;
    WindowOnLog w(kRows, [](int i) {
        synthetic::Reading r = synthetic::wave(i);
        if (i == kSpike) r.value = "9.870", r.verdict = "Fail";
        if (i == kSpike + 1) r.value = "7.120", r.verdict = "Fail";
        if (i == 200'000) r.value = "OL";
        return r;
    });
    w.window.setLimits(AnalysisWindow::Limit{5.5, QStringLiteral("V")}, AnalysisWindow::Limit{4.5, {}});
    // Seen whole, the spike's column still reaches 9.87 V.
    EXPECT_GT(w.chart().view().v1, 9.87);
    const double spike = kStartMs + kSpike * 1000.0;
    // Zoom into it with the wheel, about where it lies.
    for (int k = 0; k < 42; ++k) wheel(w.chart(), {w.chart().xOf(spike), w.at(0).y()}, 120);
    const ViewSpan v = w.chart().view();
    EXPECT_LT(v.t0, spike);
    EXPECT_GT(v.t1, spike);
    EXPECT_LT(v.timeSpan(), 300'000);
    w.chart().setCursorA(spike - 20'000);
    w.chart().setCursorB(spike + 10'000);
    EXPECT_TRUE(w.window.cursorLabel()->text().contains(QStringLiteral("max 9.87 V")));
    QApplication::processEvents();
    saveScreenshot(w.window.grab(), "analysis-spike.png");
}

}  // namespace
