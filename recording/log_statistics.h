#pragma once
// Statistics of a log, per base unit, for the whole log or any range of rows.
//
//   RecordTablePoints points(table, ".");
//   LogStatistics stats(points);
//   stats.follow(table);                 // keeps up as rows are appended
//   for (const UnitStatistics& u : stats.all()) ...
//   stats.range(first, end)              // rows [first, end)
//
// Or, for a sequence that is not a record table:
//   PointVector pts; ...; LogStatistics stats(pts); stats.catchUp();
//   (after each pts.push_back, catchUp() again: O(1) a row)
//
// Each appended row costs O(1). A range is answered from block summaries
// kept beside the log (64 rows a block, 64 blocks a block above, ...), plus
// at most 63 rows read from the source at each end of each level: a few
// microseconds for any range of a ten-million-row log. The summaries cost
// under two bytes a row for a log of one unit.
//
// Overload and "no number" rows are counted, never taken into min, max, mean
// or deviation. A row that failed counts as outside the limits until the next
// row (of any unit) arrives: time_outside is the sum of those intervals within
// the range; a clock that went backwards adds nothing.

#include "log_points.h"

#include <QMetaObject>

#include "chunked_vector.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace meterlink {

class Decimation;
class RecordTable;

struct Extreme {
    double value = 0;
    std::size_t row = 0;
    FullTime time;
};

struct UnitStatistics {
    BaseUnit unit = BaseUnit::Unknown;
    std::uint64_t count = 0;       // rows of this unit in the range
    std::uint64_t numbers = 0;     // rows with a value: these make min, max, mean, std
    std::uint64_t overloads = 0;
    std::uint64_t noNumber = 0;    // neither a value nor an overload
    std::uint64_t pass = 0;
    std::uint64_t fail = 0;
    std::optional<Extreme> min;    // the earliest row when several share it
    std::optional<Extreme> max;
    std::optional<double> mean;
    std::optional<double> std;     // sample standard deviation (n - 1); needs two values
    std::int64_t timeOutsideMs = 0;
    std::size_t firstRow = 0, lastRow = 0;
    FullTime first, last;
    std::int64_t durationMs = 0;   // last minus first, never negative
    std::uint64_t placedTimes = 0; // rows whose time was placed, not logged

    std::string_view symbol() const { return baseUnitSymbol(unit); }
    // Percentage of judged rows that passed; nothing when none was judged.
    std::optional<double> passedPercent() const;
};

class LogStatistics {
public:
    explicit LogStatistics(const LogPointSource& source);
    ~LogStatistics();
    LogStatistics(const LogStatistics&) = delete;
    LogStatistics& operator=(const LogStatistics&) = delete;

    // Takes in up to maxRows of the source's rows not yet seen (O(1) each);
    // true when it caught up. A window takes a big load in slices.
    bool catchUp(std::size_t maxRows = SIZE_MAX);
    // Forgets every row.
    void clear();
    // Follows a record table read through a RecordTablePoints: syncs the
    // points and catches up on rowsAppended, clears on cleared; and the same
    // for a decimation, when given.
    void follow(const RecordTable& table, RecordTablePoints& points, Decimation* decimation = nullptr);

    std::size_t rowCount() const { return rows_; }
    // Per unit present, in BaseUnit order.
    std::vector<UnitStatistics> all() const { return range(0, rows_); }
    std::vector<UnitStatistics> range(std::size_t first, std::size_t end) const;
    // The figures of one unit; count 0 when the range holds none.
    UnitStatistics range(std::size_t first, std::size_t end, BaseUnit unit) const;

    // The first row whose time is not before utcMs, for rows in time order
    // (a clock that jumped back makes this one of the candidates).
    std::size_t rowAtTime(std::int64_t utcMs) const;
    // The same to within 64 rows, without reading a row: the first row of
    // the first block that does not begin before utcMs.
    std::size_t blockRowAtTime(std::int64_t utcMs) const;

    // Bytes held by the summaries.
    std::size_t bytesUsed() const;

    // What a block summary holds for one unit; shared with the decimation.
    struct Summary {
        double min, max, mean, m2;
        std::int64_t timeOutsideMs;
        std::uint32_t count, numbers, overloads, pass, fail, placed;
        std::uint32_t minRow, maxRow, firstRow, lastRow;
        BaseUnit unit;
    };
    // Visits the block summaries (every unit) that lie wholly inside
    // [first, end) and, for the rows left at the edges, calls rows(a, b)
    // with each stretch [a, b) that no summary covers.
    template <typename VisitSummary, typename VisitRows>
    void cover(std::size_t first, std::size_t end, VisitSummary&& summary, VisitRows&& rows) const;
    // Block summaries of 64 rows begin at multiples of 64; the first time of
    // each, for rowAtTime.
    std::int64_t blockStartMs(std::size_t block) const { return blockStartMs_[block]; }

    const LogPointSource& source() const { return source_; }

    static constexpr unsigned kShift = 6;   // 64 per block, at every level

private:
    struct Level {
        ChunkedVector<Summary> items;         // finished blocks' summaries, unit by unit
        ChunkedVector<std::uint32_t> start;   // block i's are items[start[i] .. start[i+1])
        std::vector<Summary> open;            // the block being filled
    };
    void addRow(const LogPoint& p);
    void close(std::size_t level);
    void scanRows(std::size_t first, std::size_t end, Summary* perUnit) const;
    std::optional<LogPoint> lastPoint_;
    ChunkedVector<std::int64_t> blockStartMs_;

    const LogPointSource& source_;
    std::size_t rows_ = 0;
    std::vector<Level> levels_;
    std::vector<QMetaObject::Connection> connections_;
};

// Merges b into a (same unit); mean and m2 by the pairwise update, stable
// for any sizes.
void mergeSummary(LogStatistics::Summary& a, const LogStatistics::Summary& b);

template <typename VisitSummary, typename VisitRows>
void LogStatistics::cover(std::size_t first, std::size_t end, VisitSummary&& summary, VisitRows&& rows) const {
    end = end < rows_ ? end : rows_;
    if (first >= end) return;
    // Rows first, then each level: what is not aligned to the level above is
    // taken here, the aligned middle goes up.
    constexpr std::size_t fan = std::size_t{1} << kShift;
    const auto up = [](std::size_t i) { return (i + fan - 1) >> kShift; };
    const auto down = [](std::size_t i) { return i >> kShift; };
    std::size_t lo = up(first), hi = down(end);
    if (lo >= hi || levels_.empty()) {
        rows(first, end);
        return;
    }
    rows(first, lo << kShift);
    rows(hi << kShift, end);
    for (std::size_t level = 0;; ++level) {
        const Level& l = levels_[level];
        const auto visitBlocks = [&](std::size_t a, std::size_t b) {
            for (std::size_t i = a; i < b; ++i)
                for (std::uint32_t k = l.start[i]; k < l.start[i + 1]; ++k) summary(l.items[k]);
        };
        const std::size_t a = up(lo), b = down(hi);
        if (a >= b || level + 1 >= levels_.size() || levels_[level + 1].start.size() < b + 1) {
            visitBlocks(lo, hi);
            return;
        }
        visitBlocks(lo, a << kShift);
        visitBlocks(b << kShift, hi);
        lo = a;
        hi = b;
    }
}

}  // namespace meterlink
