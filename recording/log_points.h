#pragma once
// A log seen as numbers: each row a moment, a value in its SI base unit, the
// unit and the verdict. Statistics and the chart's decimation read rows this
// way, whether they sit in the window's record table or in a file loaded
// beside it.
//
//   RecordTablePoints points(table, ".");     // follows the table itself
//   PointVector loaded;  loaded.push_back(p); // or any sequence of points
//   LogPoint p = points.point(row);
//
// Rows without a full time (older files) are placed between their
// neighbours' times, or one second apart by row number when there are none,
// and carry `timePlaced`; they are never dropped.

#include "full_time.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {

class RecordTable;

// Base units, in the order statistics list them. Unknown is a unit the
// decoder did not name (or a row without one).
enum class BaseUnit : std::uint8_t { V, A, Ohm, F, Hz, Percent, Celsius, Fahrenheit, W, dB, dBm, Unknown };
constexpr int kBaseUnitCount = 12;

// "V", "A", "Ω", "F", "Hz", "%", "°C", "°F", "W", "dB", "dBm" and "" (UTF-8).
std::string_view baseUnitSymbol(BaseUnit unit);
// The unit of an SI symbol as toSiValue names it; Unknown for anything else.
BaseUnit baseUnitOf(std::string_view siSymbol);

enum class RowVerdict : std::uint8_t { None, Pass, Fail };

struct LogPoint {
    std::int64_t utcMs = 0;
    std::int16_t offsetMinutes = 0;
    bool timePlaced = false;   // no full time of its own: placed by neighbours or row number
    bool hasValue = false;     // false for overload and "no number" rows
    bool overload = false;
    BaseUnit unit = BaseUnit::Unknown;
    RowVerdict verdict = RowVerdict::None;
    double value = 0;   // SI base unit; meaningful only with hasValue

    FullTime time() const { return FullTime{utcMs, offsetMinutes}; }
};

// Rows by number, 0 .. size()-1, in the order they were logged.
class LogPointSource {
public:
    virtual ~LogPointSource() = default;
    virtual std::size_t size() const = 0;
    virtual LogPoint point(std::size_t row) const = 0;
    // The row's time alone, where that is cheaper than the whole point.
    virtual std::int64_t timeOf(std::size_t row) const { return point(row).utcMs; }
};

// A plain sequence of points: loaded logs, tests.
class PointVector : public LogPointSource {
public:
    std::size_t size() const override { return points_.size(); }
    LogPoint point(std::size_t row) const override { return points_[row]; }
    std::int64_t timeOf(std::size_t row) const override { return points_[row].utcMs; }
    void push_back(const LogPoint& p) { points_.push_back(p); }
    void clear() { points_.clear(); }
    const std::vector<LogPoint>& points() const { return points_; }
    std::vector<LogPoint>& points() { return points_; }

private:
    std::vector<LogPoint> points_;
};

// The record table's rows as points, read from the table on each call.
// sync() must see every appended row before point() is asked about it: it
// places the rows that lack a full time (call it from rowsAppended, or let
// LogStatistics::follow do it). Values are read with decimalSep, the
// separator the table's value texts were shown with.
class RecordTablePoints : public LogPointSource {
public:
    RecordTablePoints(const RecordTable& table, std::string_view decimalSep);

    std::size_t size() const override { return synced_; }
    LogPoint point(std::size_t row) const override;
    std::int64_t timeOf(std::size_t row) const override;

    // Takes in the rows appended since the last call.
    void sync();
    // Forgets every row (after the table was cleared).
    void reset();

private:
    std::int64_t placedTime(std::size_t row, std::int16_t* offsetMinutes) const;
    // A stretch of rows without full times, placed evenly.
    struct PlacedRun {
        std::size_t first, end;
        std::int64_t startMs;
        double stepMs;
        std::int16_t offsetMinutes;
    };
    const RecordTable& table_;
    std::string decimalSep_;
    std::size_t synced_ = 0;
    std::vector<PlacedRun> runs_;
    // The last row that had a full time, for the rows after it.
    bool haveLastTime_ = false;
    std::size_t lastTimedRow_ = 0;
    FullTime lastTime_;
};

// The point of one row as the exports read it: the value text with its
// separator, the decoder's unit text, "pass"/"Fail"/"" as the verdict.
LogPoint pointOf(std::string_view valueText, std::string_view unitText, std::string_view verdictText,
                 std::string_view decimalSep);

}  // namespace meterlink
