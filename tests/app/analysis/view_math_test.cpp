// The analysis chart's arithmetic: zoom and pan steps, value prefixes and
// ticks, time ticks and durations.
#include "app/analysis/axis_ticks.h"
#include "app/analysis/view_span.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace meterlink::analysis;

namespace {

struct ZoomCase {
    const char* name;
    double factor;
    double anchorShare;   // where the anchor lies in the span, 0 .. 1
};

class ZoomKeepsAnchor : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomKeepsAnchor, in_time_and_in_value) {
    const ZoomCase& c = GetParam();
    const ViewSpan v{1'000'000, 1'060'000, -2, 3};
    const double t = v.t0 + c.anchorShare * v.timeSpan();
    const ViewSpan zt = v.zoomedTime(c.factor, t);
    EXPECT_NEAR((t - zt.t0) / zt.timeSpan(), c.anchorShare, 1e-9);
    EXPECT_NEAR(zt.timeSpan(), v.timeSpan() * c.factor, 1e-6);
    EXPECT_EQ(zt.v0, v.v0);
    EXPECT_EQ(zt.v1, v.v1);
    const double y = v.v0 + c.anchorShare * v.valueSpan();
    const ViewSpan zv = v.zoomedValue(c.factor, y);
    EXPECT_NEAR((y - zv.v0) / zv.valueSpan(), c.anchorShare, 1e-9);
    EXPECT_NEAR(zv.valueSpan(), v.valueSpan() * c.factor, 1e-12);
    EXPECT_EQ(zv.t0, v.t0);
}

INSTANTIATE_TEST_SUITE_P(Steps, ZoomKeepsAnchor,
                         ::testing::Values(ZoomCase{"in_at_left_edge", 0.8, 0.0},
                                           ZoomCase{"in_in_middle", 0.5, 0.5},
                                           ZoomCase{"out_near_right", 1.25, 0.9},
                                           ZoomCase{"far_in_off_centre", 0.001, 0.3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ViewSpan, zoom_stops_at_the_narrowest_span_and_keeps_the_anchor_inside) {
    ViewSpan v{0, 10'000, 4.9, 5.1};
    for (int i = 0; i < 200; ++i) v = v.zoomedTime(0.5, 7'000).zoomedValue(0.5, 5.0);
    EXPECT_NEAR(v.timeSpan(), kMinTimeSpanMs, 1e-9);
    EXPECT_LE(v.t0, 7'000);
    EXPECT_GE(v.t1, 7'000);
    EXPECT_GT(v.valueSpan(), 0);
    EXPECT_NEAR(v.valueSpan(), minValueSpan(v.v0, v.v1), 1e-12);
}

TEST(ViewSpan, a_flat_rectangle_is_refused_and_corners_may_come_in_any_order) {
    const ViewSpan v{0, 60'000, 0, 10};
    EXPECT_EQ(v.zoomedTo(100, 100, 1, 5), v);
    EXPECT_EQ(v.zoomedTo(100, 5'000, 3, 3), v);
    EXPECT_EQ(v.zoomedTo(5'000, 100, 5, 1), (ViewSpan{100, 5'000, 1, 5}));
}

TEST(ViewSpan, fitting_gives_single_rows_and_flat_traces_room) {
    const ViewSpan one = ViewSpan::fitting(5'000, 5'000, 2, 2);
    EXPECT_LT(one.t0, 5'000);
    EXPECT_GT(one.t1, 5'000);
    EXPECT_LT(one.v0, 2);
    EXPECT_GT(one.v1, 2);
    const ViewSpan zero = ViewSpan::fitting(0, 10'000, 0, 0);
    EXPECT_GT(zero.valueSpan(), 0);
    const ViewSpan none = ViewSpan::fitting(NAN, NAN, NAN, NAN);
    EXPECT_GT(none.timeSpan(), 0);
    EXPECT_GT(none.valueSpan(), 0);
}

struct PrefixCase {
    const char* name;
    double low, high;
    const char* symbol;
};

class PrefixForSpan : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(PrefixForSpan, writes_the_larger_end_with_one_to_three_digits) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(prefixForSpan(c.low, c.high).symbol, QString::fromUtf8(c.symbol));
}

INSTANTIATE_TEST_SUITE_P(Spans, PrefixForSpan,
                         ::testing::Values(PrefixCase{"volts_around_five", 4.9, 5.1, ""},
                                           PrefixCase{"millivolts", 0.0012, 0.0034, "m"},
                                           PrefixCase{"microamps_across_zero", -2e-6, 1e-6, "µ"},
                                           PrefixCase{"kilohms", 1200, 1500, "k"},
                                           PrefixCase{"hundreds_stay_plain", 100, 999, ""},
                                           PrefixCase{"megahertz", 1e6, 2.5e7, "M"},
                                           PrefixCase{"nothing_but_zero", 0, 0, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValueTicks, round_steps_inside_the_span_labelled_in_the_prefix) {
    struct Case {
        double low, high;
        int max;
        const char* firstLabel;
    };
    for (const Case c : {Case{4.93, 5.07, 8, "4.94"}, Case{0.00121, 0.00342, 6, "1.5"}, Case{-7, 7, 8, "-6"},
                         Case{1.05e3, 1.31e3, 5, "1.1"}}) {
        const ValueTicks t = valueTicks(c.low, c.high, c.max);
        ASSERT_FALSE(t.values.empty()) << c.low;
        EXPECT_LE(static_cast<int>(t.values.size()), c.max + 1) << c.low;
        const double mantissa = t.step / std::pow(10.0, std::floor(std::log10(t.step)));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
            << t.step;
        for (double v : t.values) {
            EXPECT_GE(v, c.low - t.step * 1e-6);
            EXPECT_LE(v, c.high + t.step * 1e-6);
        }
        EXPECT_EQ(t.label(t.values.front()), QString::fromLatin1(c.firstLabel)) << c.low;
    }
    EXPECT_TRUE(valueTicks(1, 1, 5).values.empty());
}

TEST(TimeTicks, fall_on_whole_local_units_and_name_the_date_where_it_changes) {
    // 2026-12-10 22:40 UTC to 2026-12-11 01:20 UTC, one hour ahead of UTC.
    const double start = 1'796'942'400'000.0;   // 2026-12-10T22:40Z
    const TimeTicks t = timeTicks(start, start + 160 * 60'000.0, 4, 60);
    ASSERT_FALSE(t.times.empty());
    EXPECT_EQ(t.stepMs, 3'600'000);
    for (double at : t.times) EXPECT_EQ(std::fmod(at + 3'600'000.0, 3'600'000.0), 0.0);
    EXPECT_TRUE(t.labels.front().contains(QLatin1String("2026-12-11")));   // the first tick carries its date
    // Local midnight (23:00 UTC) begins 2026-12-11; the next ticks carry no date.
    EXPECT_TRUE(t.labels.front().startsWith(QLatin1String("00:00")));
    EXPECT_FALSE(t.labels.at(1).contains(QLatin1Char('\n')));
}

TEST(Durations, read_as_a_person_writes_them) {
    struct Case {
        double ms;
        const char* text;
    };
    for (const Case c : {Case{850, "850 ms"}, Case{12'500, "12.5 s"}, Case{200'000, "3 min 20 s"},
                         Case{7'500'000, "2 h 05 min"}, Case{97'200'000, "1 d 03 h"}, Case{2.5, "2.5 ms"}, Case{0, "0 s"}})
        EXPECT_EQ(durationText(c.ms), QString::fromUtf8(c.text)) << c.ms;
}

}  // namespace
