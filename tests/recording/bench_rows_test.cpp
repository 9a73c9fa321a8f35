// A bench's rows in long and wide form: every channel of an instant carries
// the instant's one timestamp, missing readings stay empty rather than
// borrowing an old number, and a channel whose unit changes is never read
// in its column's first unit.

#include "recording/bench_rows.h"

#include <gtest/gtest.h>

namespace meterlink {
namespace {

// 2026-12-10T16:08:55.123+01:00
constexpr FullTime kNoon{1'796'915'335'123, 60};

RowView meterRow(const char* function, const char* value, const char* unit, const char* verdict,
                 RecordTable::Range range) {
    RowView v;
    v.function = function;
    v.value = value;
    v.unit = unit;
    v.verdict = verdict;
    v.range = range;
    return v;
}

BenchSample calc(const char* name, double value, const char* unit) {
    BenchSample s;
    s.channel = name;
    s.function = "CALC";
    s.hasValue = true;
    s.value = value;
    s.unit = unit;
    return s;
}

BenchRow twoMetersAndPower() {
    BenchRow row;
    row.time = kNoon;
    row.samples.push_back(meterSample("CH1", meterRow("DC", "12,05", "V", "pass", RecordTable::Range::Auto), ","));
    row.samples.push_back(meterSample("CH2", meterRow("DC", "0,L", "A", "Fail", RecordTable::Range::Manual), ","));
    row.samples.push_back(missingSample("CH3"));
    row.samples.push_back(calc("P", 6.025, "W"));
    return row;
}

TEST(BenchRows, long_csv_gives_every_channel_the_instants_time) {
    std::string out;
    appendBenchCsvHeader(out, "\n");
    appendBenchCsvRecords(out, twoMetersAndPower(), "\n");
    EXPECT_EQ(out,
              "timestamp,channel,function,value,unit,display,range,verdict\n"
              "2026-12-10T16:08:55.123+01:00,CH1,DC,12.05,V,\"12,05 V\",auto,pass\n"
              "2026-12-10T16:08:55.123+01:00,CH2,DC,,A,\"0,L A\",manual,fail\n"
              "2026-12-10T16:08:55.123+01:00,CH3,,,,,,\n"
              "2026-12-10T16:08:55.123+01:00,P,CALC,6.025,W,,,\n");
}

TEST(BenchRows, json_lines_use_null_where_there_is_nothing) {
    std::string out;
    appendBenchJsonLines(out, twoMetersAndPower(), "\n");
    EXPECT_EQ(out,
              R"({"timestamp":"2026-12-10T16:08:55.123+01:00","channel":"CH1","function":"DC","value":12.05,)"
              R"("unit":"V","display":"12,05 V","range":"auto","verdict":"pass"})"
              "\n"
              R"({"timestamp":"2026-12-10T16:08:55.123+01:00","channel":"CH2","function":"DC","value":null,)"
              R"("unit":"A","display":"0,L A","range":"manual","verdict":"fail"})"
              "\n"
              R"({"timestamp":"2026-12-10T16:08:55.123+01:00","channel":"CH3","function":null,"value":null,)"
              R"("unit":null,"display":null,"range":null,"verdict":null})"
              "\n"
              R"({"timestamp":"2026-12-10T16:08:55.123+01:00","channel":"P","function":"CALC","value":6.025,)"
              R"("unit":"W","display":null,"range":null,"verdict":null})"
              "\n");
}

TEST(BenchRows, wide_csv_has_a_column_per_channel_and_keeps_a_changed_unit_in_its_cell) {
    BenchWideCsv wide;
    std::string out;
    BenchRow first = twoMetersAndPower();
    wide.appendHeader(out, first, "\r\n");
    wide.appendRow(out, first, "\r\n");
    BenchRow later = first;
    later.time.utcMs += 1000;
    // CH1 switched to milliamperes; CH2 came back from its overload.
    later.samples[0] = meterSample("CH1", meterRow("DC", "250.0", "mA", "pass", RecordTable::Range::Auto), ".");
    later.samples[1] = meterSample("CH2", meterRow("DC", "0.512", "A", "pass", RecordTable::Range::Auto), ".");
    wide.appendRow(out, later, "\r\n");
    EXPECT_EQ(out,
              "timestamp,CH1 [V],CH2 [A],CH3,P [W]\r\n"
              "2026-12-10T16:08:55.123+01:00,12.05,,,6.025\r\n"
              "2026-12-10T16:08:56.123+01:00,0.25 A,0.512,,6.025\r\n");
}

TEST(BenchRows, wide_header_takes_each_unit_from_the_first_rows_that_show_it) {
    BenchRow first = twoMetersAndPower();
    BenchRow second = first;
    second.time.utcMs += 1000;
    // CH3 had no reading yet at the first instant.
    second.samples[2] = meterSample("CH3", meterRow("OHM", "1.500", "k*", "pass", RecordTable::Range::Auto), ".");
    EXPECT_FALSE(BenchWideCsv::unitsKnown({first}));
    ASSERT_TRUE(BenchWideCsv::unitsKnown({first, second}));
    BenchWideCsv wide;
    std::string out;
    wide.appendHeader(out, {first, second}, "\n");
    wide.appendRow(out, second, "\n");
    EXPECT_EQ(out,
              "timestamp,CH1 [V],CH2 [A],CH3 [Ω],P [W]\n"
              "2026-12-10T16:08:56.123+01:00,12.05,,1500,6.025\n");
}

// Two windows' tables logged on one clock: a row of each per instant, except
// where a meter had no new reading, and rows from before the bench started.
TEST(BenchRows, tables_of_one_clock_become_instants_with_gaps_left_empty) {
    auto append = [](RecordTable& t, std::int64_t ms, const char* value, const char* unit) {
        RecordTable::Row r;
        r.no = t.rowCount() + 1;
        r.text[RecordTable::Time] = "16:08:55";
        r.text[RecordTable::DCAC] = "DC";
        r.text[RecordTable::Value] = value;
        r.text[RecordTable::Unit] = unit;
        r.text[RecordTable::Auto] = "pass";
        r.fullTime = FullTime{kNoon.utcMs + ms, 60};
        r.range = RecordTable::Range::Auto;
        ASSERT_TRUE(t.append(r));
    };
    RecordTable volts, amps;
    append(volts, -5000, "1.00", "V");   // before the bench recording
    append(volts, 0, "12.05", "V");
    append(volts, 1000, "12.06", "V");
    append(amps, 1000, "0.512", "A");   // no row at the first instant
    append(amps, 2000, "0.511", "A");
    const auto rows = benchRowsOf({{"CH1", &volts, 1}, {"CH2", &amps, 0}}, ".");
    ASSERT_EQ(rows.size(), 3u);
    std::string out;
    for (const auto& row : rows) appendBenchCsvRecords(out, row, "\n");
    EXPECT_EQ(out,
              "2026-12-10T16:08:55.123+01:00,CH1,DC,12.05,V,12.05 V,auto,pass\n"
              "2026-12-10T16:08:55.123+01:00,CH2,,,,,,\n"
              "2026-12-10T16:08:56.123+01:00,CH1,DC,12.06,V,12.06 V,auto,pass\n"
              "2026-12-10T16:08:56.123+01:00,CH2,DC,0.512,A,0.512 A,auto,pass\n"
              "2026-12-10T16:08:57.123+01:00,CH1,,,,,,\n"
              "2026-12-10T16:08:57.123+01:00,CH2,DC,0.511,A,0.511 A,auto,pass\n");
}

}  // namespace
}  // namespace meterlink
