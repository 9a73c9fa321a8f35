#pragma once
// The rows of a bench: every channel's reading at one sampling instant of the
// bench's shared clock. Written in long form (one record per channel and
// instant: CSV or JSON lines) for analysis tools, and in wide form (one
// column per channel, one row per instant) for spreadsheets.
//
// Long form CSV header:
//   timestamp,channel,function,value,unit,display,range,verdict
// with the fields of the single-meter CSV export: value in SI base units,
// empty (null in JSON) when there is none, display as the meter showed it.

#include "full_time.h"
#include "record_table.h"
#include "row_view.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {

struct BenchSample {
    std::string channel;     // CH1, CH2, ... or a calculated channel's name
    std::string function;    // as the decoder names it; "CALC" for a calculated channel
    bool hasValue = false;   // false: overload, no reading (stale) or no value
    double value = 0;        // SI base unit
    std::string unit;        // SI symbol or compound ("W"), "" for a pure number
    std::string display;     // as shown ("0.015 kΩ", "OL"); empty without a reading
    std::string range;       // "auto", "manual" or ""
    std::string verdict;     // "pass", "fail" or ""
};

struct BenchRow {
    FullTime time;
    std::vector<BenchSample> samples;   // the bench's channels, in order
};

// A meter's reading as a sample. decimalSep is that of the row's value text.
BenchSample meterSample(std::string channel, const RowView& row, std::string_view decimalSep);
// A channel without a reading at this instant (none yet, or stale).
BenchSample missingSample(std::string channel);

void appendBenchCsvHeader(std::string& out, std::string_view lineEnd);
// One record per sample.
void appendBenchCsvRecords(std::string& out, const BenchRow& row, std::string_view lineEnd);
// One JSON object per sample, each ended by lineEnd.
void appendBenchJsonLines(std::string& out, const BenchRow& row, std::string_view lineEnd);
// One sample's object, without a line end (an MQTT message).
void appendBenchJsonObject(std::string& out, const FullTime& time, const BenchSample& sample);

// The rows of meters logged on one clock, each into its own table: rows
// of the same full time are one instant (rows without one are left out).
// A channel without a row at an instant has a missing sample there.
struct BenchTable {
    std::string channel;
    const RecordTable* table = nullptr;
    int firstRow = 0;   // rows before it are not the bench's
};
std::vector<BenchRow> benchRowsOf(const std::vector<BenchTable>& tables, std::string_view decimalSep);

// The wide CSV: "timestamp" and one column per channel, headed "NAME [UNIT]"
// with the first unit the channel has in the rows the header is made from
// (plain "NAME" without one). A cell in another unit (the meter was
// switched) keeps its unit in the cell ("0.25 A"), so it is never read in
// the column's unit.
class BenchWideCsv {
public:
    // Builds the header from the first rows (the channels of the first).
    void appendHeader(std::string& out, const std::vector<BenchRow>& rows, std::string_view lineEnd);
    void appendHeader(std::string& out, const BenchRow& first, std::string_view lineEnd) {
        appendHeader(out, std::vector<BenchRow>{first}, lineEnd);
    }
    // Whether every channel of the rows has a unit somewhere in them: a
    // header made from them says every column's unit.
    static bool unitsKnown(const std::vector<BenchRow>& rows);
    void appendRow(std::string& out, const BenchRow& row, std::string_view lineEnd) const;

private:
    std::vector<std::string> units_;
};

}  // namespace meterlink
