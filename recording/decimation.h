#pragma once
// Min/max decimation of a log for drawing: the rows of one unit between two
// row numbers, cut into pixel columns, each column reduced to its lowest and
// highest value (with their rows), so every spike stays visible at any zoom.
//
//   RecordTablePoints points(table, ".");
//   LogStatistics stats(points);  stats.follow(table, points);
//   Decimation dec(stats);        // reads the statistics' block summaries
//   stats.follow(table, points, &dec);   // instead of the follow above
//   auto cols = dec.byRows(BaseUnit::V, first, end, widthInPixels);
//   // or columns by time (rows in time order):
//   auto cols = dec.byTime(BaseUnit::V, t0Ms, t1Ms, widthInPixels);
//   for (const Column& c : cols) if (c.numbers) drawLine(x, c.min, c.max);
//
// Columns come from the statistics' block summaries, so ten million rows
// draw as fast as a thousand; the rows at a column's edges come from a
// compact copy of the log kept here (a float and a byte a row), fed as rows
// are appended. Values of columns are good to float precision (for
// drawing); read the row from the source for its exact value.

#include "log_statistics.h"

#include "chunked_vector.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace meterlink {

struct Column {
    std::size_t firstRow = 0, endRow = 0;   // the rows it covers, [firstRow, endRow), all units
    std::uint32_t count = 0;                // rows of the unit
    std::uint32_t numbers = 0;              // of them with a value; min/max only when > 0
    std::uint32_t overloads = 0;            // drawn as marks at the plot's edge
    std::uint32_t noNumber = 0;
    std::uint32_t fail = 0;                 // shade the column when > 0
    double min = 0, max = 0;
    std::size_t minRow = 0, maxRow = 0;
    std::size_t firstUnitRow = 0, lastUnitRow = 0;   // the unit's first and last rows in it (when count > 0)
};

class Decimation {
public:
    explicit Decimation(const LogStatistics& stats) : stats_(stats) {}

    // Takes in up to maxRows of the rows the statistics hold and this does
    // not yet; true when it caught up.
    bool catchUp(std::size_t maxRows = SIZE_MAX);
    void clear();
    std::size_t rowCount() const { return values_.size(); }
    std::size_t bytesUsed() const { return values_.capacityBytes() + flags_.capacityBytes(); }

    // Rows [first, end) in `columns` columns of (nearly) equal row counts.
    std::vector<Column> byRows(BaseUnit unit, std::size_t first, std::size_t end, int columns) const;
    // Times [t0, t1) in `columns` columns of equal time; the column edges
    // are the rows LogStatistics::rowAtTime finds, or, between columns of
    // more than 1024 rows, the nearest block edge (under 1/16 of a column
    // away). Either way every row falls in exactly one column.
    std::vector<Column> byTime(BaseUnit unit, std::int64_t t0Ms, std::int64_t t1Ms, int columns) const;
    // Columns with the given row edges: edges[k] .. edges[k+1].
    std::vector<Column> byEdges(BaseUnit unit, const std::vector<std::size_t>& edges) const;

private:
    void addRows(Column& c, std::size_t first, std::size_t end, BaseUnit unit) const;

    const LogStatistics& stats_;
    ChunkedVector<float> values_;
    // Unit in the low four bits, then has-value, overload, fail.
    ChunkedVector<std::uint8_t> flags_;
};

}  // namespace meterlink
