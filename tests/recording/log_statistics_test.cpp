// Statistics and decimation against a direct computation over the same rows.
#include "recording/decimation.h"
#include "recording/log_statistics.h"
#include "recording/record_table.h"
#include "table_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace meterlink {
namespace {

LogPoint pt(std::int64_t ms, double value, BaseUnit unit = BaseUnit::V, RowVerdict verdict = RowVerdict::None) {
    LogPoint p;
    p.utcMs = ms;
    p.offsetMinutes = 60;
    p.hasValue = true;
    p.value = value;
    p.unit = unit;
    p.verdict = verdict;
    return p;
}

LogPoint overload(std::int64_t ms, BaseUnit unit = BaseUnit::V, RowVerdict verdict = RowVerdict::Fail) {
    LogPoint p = pt(ms, 0, unit, verdict);
    p.hasValue = false;
    p.overload = true;
    return p;
}

LogPoint noNumber(std::int64_t ms, BaseUnit unit = BaseUnit::Unknown) {
    LogPoint p = pt(ms, 0, unit);
    p.hasValue = false;
    return p;
}

// The figures computed the plain way: every row of the range looked at.
struct Direct {
    std::uint64_t count = 0, numbers = 0, overloads = 0, noNumber = 0, pass = 0, fail = 0;
    double min = 0, max = 0, mean = 0, std = -1;
    std::size_t minRow = 0, maxRow = 0, firstRow = 0, lastRow = 0;
    std::int64_t outside = 0;
};

std::map<BaseUnit, Direct> direct(const std::vector<LogPoint>& rows, std::size_t first, std::size_t end) {
    end = std::min(end, rows.size());
    std::map<BaseUnit, Direct> out;
    std::map<BaseUnit, std::vector<double>> values;
    for (std::size_t r = first; r < end; ++r) {
        const LogPoint& p = rows[r];
        Direct& d = out[p.unit];
        if (d.count == 0) d.firstRow = r;
        d.lastRow = r;
        ++d.count;
        d.pass += p.verdict == RowVerdict::Pass;
        d.fail += p.verdict == RowVerdict::Fail;
        if (p.overload) ++d.overloads;
        else if (!p.hasValue) ++d.noNumber;
        if (p.hasValue) {
            if (values[p.unit].empty() || p.value < d.min) d.min = p.value, d.minRow = r;
            if (values[p.unit].empty() || p.value > d.max) d.max = p.value, d.maxRow = r;
            values[p.unit].push_back(p.value);
        }
        if (r + 1 < end && p.verdict == RowVerdict::Fail)
            d.outside += std::max<std::int64_t>(0, rows[r + 1].utcMs - p.utcMs);
    }
    for (auto& [unit, v] : values) {
        Direct& d = out[unit];
        d.numbers = v.size();
        // Two passes, long double: slow and exact enough to judge by.
        long double sum = 0;
        for (double x : v) sum += x;
        const long double mean = sum / v.size();
        d.mean = static_cast<double>(mean);
        if (v.size() > 1) {
            long double ss = 0;
            for (double x : v) ss += (x - mean) * (x - mean);
            d.std = static_cast<double>(std::sqrt(ss / (v.size() - 1)));
        }
    }
    return out;
}

void expectSame(const std::vector<LogPoint>& rows, const LogStatistics& stats, std::size_t first, std::size_t end) {
    const auto want = direct(rows, first, end);
    const auto got = stats.range(first, end);
    ASSERT_EQ(got.size(), want.size()) << "units in rows [" << first << ", " << end << ")";
    for (const UnitStatistics& u : got) {
        SCOPED_TRACE(std::string(u.symbol()) + " in rows [" + std::to_string(first) + ", " + std::to_string(end) + ")");
        const Direct& d = want.at(u.unit);
        EXPECT_EQ(u.count, d.count);
        EXPECT_EQ(u.numbers, d.numbers);
        EXPECT_EQ(u.overloads, d.overloads);
        EXPECT_EQ(u.noNumber, d.noNumber);
        EXPECT_EQ(u.pass, d.pass);
        EXPECT_EQ(u.fail, d.fail);
        EXPECT_EQ(u.timeOutsideMs, d.outside);
        EXPECT_EQ(u.firstRow, d.firstRow);
        EXPECT_EQ(u.lastRow, d.lastRow);
        EXPECT_EQ(u.first.utcMs, rows[d.firstRow].utcMs);
        EXPECT_EQ(u.last.utcMs, rows[d.lastRow].utcMs);
        EXPECT_EQ(u.first.offsetMinutes, rows[d.firstRow].offsetMinutes);
        EXPECT_EQ(u.durationMs, std::max<std::int64_t>(0, rows[d.lastRow].utcMs - rows[d.firstRow].utcMs));
        ASSERT_EQ(u.min.has_value(), d.numbers > 0);
        ASSERT_EQ(u.mean.has_value(), d.numbers > 0);
        ASSERT_EQ(u.std.has_value(), d.numbers > 1);
        if (d.numbers == 0) continue;
        EXPECT_EQ(u.min->value, d.min);
        EXPECT_EQ(u.min->row, d.minRow);
        EXPECT_EQ(u.min->time.utcMs, rows[d.minRow].utcMs);
        EXPECT_EQ(u.max->value, d.max);
        EXPECT_EQ(u.max->row, d.maxRow);
        EXPECT_EQ(u.max->time.utcMs, rows[d.maxRow].utcMs);
        EXPECT_NEAR(*u.mean, d.mean, 1e-12 * std::max(1.0, std::fabs(d.mean)));
        if (d.numbers > 1) {
            EXPECT_NEAR(*u.std, d.std, 1e-9 * std::max(1e-3, d.std));
        }
    }
}

// ---- Whole logs: small tables of rows --------------------------------------

struct LogCase {
    const char* name;
    std::vector<LogPoint> rows;
};

class WholeLog : public ::testing::TestWithParam<LogCase> {};

TEST_P(WholeLog, matches_direct_computation) {
    PointVector points;
    for (const LogPoint& p : GetParam().rows) points.push_back(p);
    LogStatistics stats(points);
    stats.catchUp();
    expectSame(points.points(), stats, 0, points.size());
    // Every range of a small log, too.
    for (std::size_t a = 0; a <= points.size(); ++a)
        for (std::size_t b = a; b <= points.size(); ++b) expectSame(points.points(), stats, a, b);
}

const LogCase kLogs[] = {
    {"no_rows", {}},
    {"one_row", {pt(1000, 1.5)}},
    {"one_overload", {overload(1000)}},
    {"overloads_counted_not_averaged",
     {pt(0, 1.0), overload(1000), pt(2000, 3.0), overload(3000), noNumber(4000, BaseUnit::V)}},
    {"no_number_rows_without_unit", {noNumber(0), pt(1000, 2.0), noNumber(2000)}},
    {"unit_switches_keep_figures_apart",
     {pt(0, 0.5), pt(1000, 0.7), pt(2000, 100, BaseUnit::Ohm), pt(3000, 120, BaseUnit::Ohm), pt(4000, 0.6),
      pt(5000, 20, BaseUnit::Celsius), pt(6000, 50, BaseUnit::Hz), pt(7000, 0.01, BaseUnit::A)}},
    {"time_outside_until_next_row",
     {pt(0, 1, BaseUnit::V, RowVerdict::Pass), pt(1000, 9, BaseUnit::V, RowVerdict::Fail),
      pt(1500, 9, BaseUnit::V, RowVerdict::Fail), pt(4000, 1, BaseUnit::V, RowVerdict::Pass),
      pt(5000, 9, BaseUnit::V, RowVerdict::Fail)}},
    {"failing_row_before_a_unit_switch_counts_for_its_own_unit",
     {pt(0, 9, BaseUnit::V, RowVerdict::Fail), pt(2000, 5, BaseUnit::Ohm, RowVerdict::Pass),
      pt(3000, 9, BaseUnit::V, RowVerdict::Fail)}},
    {"clock_jumping_back_adds_no_time",
     {pt(10000, 1, BaseUnit::V, RowVerdict::Fail), pt(4000, 2, BaseUnit::V, RowVerdict::Fail),
      pt(5000, 3, BaseUnit::V, RowVerdict::Pass)}},
    {"equal_extremes_report_the_earliest_row", {pt(0, 2), pt(1000, 1), pt(2000, 2), pt(3000, 1)}},
    // A sum of squares would lose every digit here.
    {"large_offset_keeps_deviation",
     {pt(0, 1e9 + 4), pt(1, 1e9 + 7), pt(2, 1e9 + 13), pt(3, 1e9 + 16)}},
};

INSTANTIATE_TEST_SUITE_P(Logs, WholeLog, ::testing::ValuesIn(kLogs),
                         [](const ::testing::TestParamInfo<LogCase>& i) { return std::string(i.param.name); });

TEST(LogStatisticsTest, deviation_of_a_large_offset_is_exact) {
    PointVector points;
    for (double v : {4.0, 7.0, 13.0, 16.0}) points.push_back(pt(0, 1e9 + v));
    LogStatistics stats(points);
    stats.catchUp();
    const UnitStatistics u = stats.range(0, 4, BaseUnit::V);
    ASSERT_TRUE(u.std);
    EXPECT_NEAR(*u.std, std::sqrt(30.0), 1e-9);
    EXPECT_DOUBLE_EQ(*u.mean, 1e9 + 10);
}

// ---- Ranges of a long log, at and around block edges ------------------------

std::vector<LogPoint> longLog(std::size_t rows) {
    std::mt19937_64 rng(29);
    std::uniform_real_distribution<double> value(-5, 5);
    std::vector<LogPoint> out;
    std::int64_t ms = 1'765'000'000'000;
    BaseUnit unit = BaseUnit::V;
    for (std::size_t r = 0; r < rows; ++r) {
        ms += 300 + static_cast<std::int64_t>(rng() % 700);
        if (rng() % 997 == 0) ms -= 5000;   // a clock set back now and then
        if (rng() % 1500 == 0) unit = unit == BaseUnit::V ? BaseUnit::A : BaseUnit::V;
        const RowVerdict verdict = rng() % 7 == 0 ? RowVerdict::Fail : (rng() % 5 == 0 ? RowVerdict::None : RowVerdict::Pass);
        const unsigned kind = static_cast<unsigned>(rng() % 200);
        if (kind == 0) out.push_back(overload(ms, unit, verdict));
        else if (kind == 1) out.push_back(noNumber(ms, unit));
        else out.push_back(pt(ms, value(rng) + (unit == BaseUnit::A ? 100 : 0), unit, verdict));
    }
    return out;
}

constexpr std::size_t kLongRows = 3 * 4096 + 4 * 64 + 17;

class RangeAtEdges : public ::testing::TestWithParam<std::pair<std::size_t, std::size_t>> {
protected:
    static void SetUpTestSuite() {
        points_ = new PointVector;
        for (const LogPoint& p : longLog(kLongRows)) points_->push_back(p);
        stats_ = new LogStatistics(*points_);
        stats_->catchUp();
    }
    static void TearDownTestSuite() {
        delete stats_;
        delete points_;
    }
    static PointVector* points_;
    static LogStatistics* stats_;
};
PointVector* RangeAtEdges::points_ = nullptr;
LogStatistics* RangeAtEdges::stats_ = nullptr;

TEST_P(RangeAtEdges, matches_direct_computation) {
    const auto [first, end] = GetParam();
    expectSame(points_->points(), *stats_, first, end);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, RangeAtEdges,
    ::testing::Values(std::pair<std::size_t, std::size_t>{0, kLongRows}, std::pair<std::size_t, std::size_t>{0, 64},
                      std::pair<std::size_t, std::size_t>{0, 63}, std::pair<std::size_t, std::size_t>{0, 65},
                      std::pair<std::size_t, std::size_t>{1, 64}, std::pair<std::size_t, std::size_t>{63, 65},
                      std::pair<std::size_t, std::size_t>{64, 128}, std::pair<std::size_t, std::size_t>{63, 4097},
                      std::pair<std::size_t, std::size_t>{64, 4096}, std::pair<std::size_t, std::size_t>{65, 4095},
                      std::pair<std::size_t, std::size_t>{4095, 8193}, std::pair<std::size_t, std::size_t>{4096, 8192},
                      std::pair<std::size_t, std::size_t>{4097, kLongRows - 1},
                      std::pair<std::size_t, std::size_t>{12288, kLongRows},
                      std::pair<std::size_t, std::size_t>{kLongRows - 1, kLongRows},
                      std::pair<std::size_t, std::size_t>{100, 100},
                      std::pair<std::size_t, std::size_t>{5000, kLongRows + 50}),
    [](const ::testing::TestParamInfo<std::pair<std::size_t, std::size_t>>& i) {
        return "rows_" + std::to_string(i.param.first) + "_to_" + std::to_string(i.param.second);
    });

TEST(LogStatisticsTest, appending_in_slices_gives_the_same_figures) {
    const auto rows = longLog(5000);
    PointVector points;
    LogStatistics stats(points);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        points.push_back(rows[r]);
        if (r % 333 == 0) stats.catchUp();
    }
    while (!stats.catchUp(100)) {
    }
    expectSame(rows, stats, 0, rows.size());
    expectSame(rows, stats, 64 * 3 + 1, 4096 + 64);
}

TEST(LogStatisticsTest, row_at_time_finds_the_first_row_not_before) {
    PointVector points;
    for (int r = 0; r < 1000; ++r) points.push_back(pt(1000 + 10 * r, r));
    LogStatistics stats(points);
    stats.catchUp();
    for (const auto& [ms, row] : std::vector<std::pair<std::int64_t, std::size_t>>{
             {0, 0}, {1000, 0}, {1001, 1}, {1640, 64}, {1641, 65}, {1639, 64}, {10990, 999}, {10991, 1000}})
        EXPECT_EQ(stats.rowAtTime(ms), row) << ms;
}

// ---- The record table seen as points ---------------------------------------

RecordTable::Row timedRow(const char* value, const char* unit, const char* judge, std::optional<std::int64_t> ms) {
    RecordTable::Row r = test::tableRow(1, "12:00:00", "DC", value, unit, judge);
    if (ms) r.fullTime = FullTime{*ms, 60};
    return r;
}

// A row's texts as a point: a number in its unit, an overload, or no number
// (the logic probe's words), which statistics leave out of min, max and mean.
struct PointCase {
    const char* name;
    const char* value;
    const char* unit;
    bool hasValue;
    bool overload;
    BaseUnit base;
    double si;
};

class PointOfRow : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointOfRow, KeepsTheShownNumberInItsUnit) {
    const PointCase& c = GetParam();
    const LogPoint p = pointOf(c.value, c.unit, "", ".");
    EXPECT_EQ(p.hasValue, c.hasValue);
    EXPECT_EQ(p.overload, c.overload);
    EXPECT_EQ(p.unit, c.base);
    if (c.hasValue) {
        EXPECT_EQ(p.value, c.si);
    }
}

const PointCase kPointCases[] = {
    {"volts", "1.234", "V", true, false, BaseUnit::V, 1.234},
    {"watts", "12.34", "W", true, false, BaseUnit::W, 12.34},
    {"decibels_as_shown", "-12.5", "dB", true, false, BaseUnit::dB, -12.5},
    {"dBm_as_shown", "-03.0", "dBm", true, false, BaseUnit::dBm, -3},
    {"overload", "0L", "M*", false, true, BaseUnit::Ohm, 0},
    {"logic_ready_is_no_number", "READY", "", false, false, BaseUnit::Unknown, 0},
    {"logic_lo_is_no_number", "Lo", "", false, false, BaseUnit::Unknown, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, PointOfRow, ::testing::ValuesIn(kPointCases),
                         [](const ::testing::TestParamInfo<PointCase>& p) { return std::string(p.param.name); });

TEST(LogStatisticsTest, words_and_watts_are_summed_apart) {
    PointVector points;
    points.push_back(pointOf("12.00", "W", "", "."));
    points.push_back(pointOf("READY", "", "", "."));
    points.push_back(pointOf("14.00", "W", "", "."));
    LogStatistics stats(points);
    stats.catchUp();
    const UnitStatistics watts = stats.range(0, 3, BaseUnit::W);
    EXPECT_EQ(watts.numbers, 2u);
    ASSERT_TRUE(watts.min && watts.max);
    EXPECT_EQ(watts.min->value, 12);
    EXPECT_EQ(watts.max->value, 14);
    const UnitStatistics words = stats.range(0, 3, BaseUnit::Unknown);
    EXPECT_EQ(words.count, 1u);
    EXPECT_EQ(words.noNumber, 1u);
    EXPECT_EQ(words.numbers, 0u);
}

TEST(RecordTablePointsTest, rows_without_time_are_placed_by_neighbours_and_marked) {
    RecordTable table;
    RecordTablePoints points(table, ",");
    LogStatistics stats(points);
    stats.follow(table, points);
    {
        RecordTable::Batch batch(table);
        table.append(timedRow("1,000", "mV", "pass", 10'000));
        table.append(timedRow("2,000", "mV", "Fail", std::nullopt));
        table.append(timedRow("OL", "mV", "Fail", std::nullopt));
        table.append(timedRow("4,000", "V", "pass", 40'000));
    }
    table.append(timedRow("5,000", "V", "", std::nullopt));   // none after it: a second on
    ASSERT_EQ(stats.rowCount(), 5u);
    const std::int64_t want[] = {10'000, 20'000, 30'000, 40'000, 41'000};
    for (std::size_t r = 0; r < 5; ++r) {
        EXPECT_EQ(points.point(r).utcMs, want[r]) << r;
        EXPECT_EQ(points.point(r).timePlaced, r == 1 || r == 2 || r == 4) << r;
    }
    const UnitStatistics v = stats.range(0, 5, BaseUnit::V);
    EXPECT_EQ(v.count, 5u);
    EXPECT_EQ(v.numbers, 4u);
    EXPECT_EQ(v.overloads, 1u);
    EXPECT_EQ(v.placedTimes, 3u);
    EXPECT_EQ(v.fail, 2u);
    EXPECT_EQ(v.timeOutsideMs, 20'000);
    EXPECT_DOUBLE_EQ(v.min->value, 0.001);
    EXPECT_DOUBLE_EQ(v.max->value, 5.0);
    EXPECT_EQ(v.max->row, 4u);

    table.clear();
    EXPECT_EQ(stats.rowCount(), 0u);
    table.append(timedRow("7,000", "k*", "pass", 50'000));
    ASSERT_EQ(stats.all().size(), 1u);
    EXPECT_EQ(stats.all()[0].symbol(), "\u03A9");
    EXPECT_DOUBLE_EQ(stats.all()[0].mean.value(), 7000.0);
}

// ---- Decimation --------------------------------------------------------------

struct ColumnsCase {
    const char* name;
    std::size_t first, end;
    int columns;
};

class DecimationColumns : public ::testing::TestWithParam<ColumnsCase> {};

TEST_P(DecimationColumns, every_column_keeps_its_min_and_max) {
    const auto rows = longLog(3 * 4096 + 100);
    PointVector points;
    for (const LogPoint& p : rows) points.push_back(p);
    LogStatistics stats(points);
    Decimation dec(stats);
    stats.catchUp();
    dec.catchUp();
    const ColumnsCase& c = GetParam();
    for (BaseUnit unit : {BaseUnit::V, BaseUnit::A}) {
        const std::vector<Column> cols = dec.byRows(unit, c.first, c.end, c.columns);
        ASSERT_EQ(cols.size(), static_cast<std::size_t>(c.columns));
        std::size_t expectFirst = c.first;
        for (const Column& col : cols) {
            // Columns tile the rows.
            ASSERT_EQ(col.firstRow, expectFirst);
            expectFirst = col.endRow;
            std::uint32_t count = 0, numbers = 0, fails = 0;
            float lo = 0, hi = 0;
            std::size_t loRow = 0, hiRow = 0;
            for (std::size_t r = col.firstRow; r < col.endRow; ++r) {
                if (rows[r].unit != unit) continue;
                ++count;
                fails += rows[r].verdict == RowVerdict::Fail;
                if (!rows[r].hasValue) continue;
                const float v = static_cast<float>(rows[r].value);
                if (numbers == 0 || v < lo) lo = v, loRow = r;
                if (numbers == 0 || v > hi) hi = v, hiRow = r;
                ++numbers;
            }
            ASSERT_EQ(col.count, count) << col.firstRow;
            ASSERT_EQ(col.numbers, numbers) << col.firstRow;
            ASSERT_EQ(col.fail, fails) << col.firstRow;
            if (numbers == 0) continue;
            ASSERT_EQ(col.minRow, loRow) << col.firstRow;
            ASSERT_EQ(col.maxRow, hiRow) << col.firstRow;
            ASSERT_FLOAT_EQ(static_cast<float>(col.min), lo);
            ASSERT_FLOAT_EQ(static_cast<float>(col.max), hi);
        }
        EXPECT_EQ(expectFirst, std::min(c.end, rows.size()));
    }
}

const ColumnsCase kColumns[] = {
    {"one_column_all_rows", 0, 3 * 4096 + 100, 1},
    {"more_columns_than_rows", 4090, 4110, 50},
    {"a_column_a_row", 60, 70, 10},
    {"columns_across_block_edges", 63, 8193, 7},
    {"screen_width", 0, 3 * 4096 + 100, 1000},
    {"aligned_blocks", 4096, 8192, 64},
};

INSTANTIATE_TEST_SUITE_P(Columns, DecimationColumns, ::testing::ValuesIn(kColumns),
                         [](const ::testing::TestParamInfo<ColumnsCase>& i) { return std::string(i.param.name); });

TEST(DecimationTest, columns_by_time_cover_the_rows_of_their_time) {
    PointVector points;
    for (int r = 0; r < 10'000; ++r) points.push_back(pt(1000 * r, r % 100 == 7 ? 50.0 : 1.0));
    LogStatistics stats(points);
    Decimation dec(stats);
    stats.catchUp();
    dec.catchUp();
    // 100 s a column: each holds one spike at its 8th second.
    const auto cols = dec.byTime(BaseUnit::V, 0, 10'000'000, 100);
    ASSERT_EQ(cols.size(), 100u);
    for (std::size_t k = 0; k < cols.size(); ++k) {
        EXPECT_EQ(cols[k].firstRow, k * 100);
        EXPECT_EQ(cols[k].endRow, k * 100 + 100);
        EXPECT_EQ(cols[k].max, 50.0);
        EXPECT_EQ(cols[k].maxRow, k * 100 + 7);
        EXPECT_EQ(cols[k].min, 1.0);
    }
}

TEST(DecimationTest, wide_columns_by_time_still_tile_the_rows_and_keep_extremes) {
    const auto rows = longLog(100'000);
    PointVector points;
    for (const LogPoint& p : rows) points.push_back(p);
    LogStatistics stats(points);
    Decimation dec(stats);
    stats.catchUp();
    dec.catchUp();
    for (int columns : {3, 40, 700}) {
        const auto cols = dec.byTime(BaseUnit::V, rows.front().utcMs, rows.back().utcMs + 1, columns);
        ASSERT_EQ(cols.size(), static_cast<std::size_t>(columns));
        std::size_t next = 0;
        for (const Column& c : cols) {
            ASSERT_EQ(c.firstRow, next);
            next = c.endRow;
            float hi = -1e30f;
            for (std::size_t r = c.firstRow; r < c.endRow; ++r)
                if (rows[r].unit == BaseUnit::V && rows[r].hasValue) hi = std::max(hi, static_cast<float>(rows[r].value));
            if (c.numbers) {
                EXPECT_FLOAT_EQ(static_cast<float>(c.max), hi);
            }
        }
        EXPECT_EQ(next, rows.size());
    }
}

}  // namespace
}  // namespace meterlink
