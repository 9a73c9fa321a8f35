#pragma once
// One log as the analysis window draws it: its rows read as numbers, their
// statistics and min/max summaries, where each row stands in time, and how
// it is shown (name, colour, shift in time when logs are aligned by start).
// The live log follows the window's record table as rows arrive; a saved
// log is read once into a table of its own.

#include "row_timeline.h"

#include "recording/decimation.h"
#include "recording/log_statistics.h"

#include <QColor>
#include <QString>

#include <memory>

namespace meterlink {
class RecordTable;
}

namespace meterlink::analysis {

class LogTrace {
public:
    // Reads `table` (which outlives the trace) with its decimal separator.
    LogTrace(const RecordTable& table, const QString& decimalSep, QString name, QColor colour);
    // A saved log: the trace keeps the table.
    LogTrace(std::unique_ptr<RecordTable> table, const QString& decimalSep, QString name, QColor colour);
    ~LogTrace();
    LogTrace(const LogTrace&) = delete;
    LogTrace& operator=(const LogTrace&) = delete;

    // Takes in up to maxRows more of the table's rows; true once all are in.
    bool catchUp(std::size_t maxRows);
    // Keeps up with rows appended to the table and with its emptying.
    void follow();
    bool caughtUp() const;

    const RecordTable& table() const { return table_; }
    const RecordTablePoints& points() const { return points_; }
    const LogStatistics& statistics() const { return stats_; }
    const Decimation& decimation() const { return decimation_; }
    const RowTimeline& timeline() const { return timeline_; }
    // Rows the chart may draw: those every part has taken in.
    int rowCount() const;

    const QString& name() const { return name_; }
    QColor colour() const { return colour_; }
    // Added to every moment of this log on the chart.
    double shiftMs() const { return shiftMs_; }
    void setShiftMs(double ms) { shiftMs_ = ms; }
    // The units the log holds, in statistics order.
    std::vector<BaseUnit> units() const;

private:
    std::unique_ptr<RecordTable> owned_;
    const RecordTable& table_;
    RecordTablePoints points_;
    LogStatistics stats_;
    Decimation decimation_;
    RowTimeline timeline_;
    QString name_;
    QColor colour_;
    double shiftMs_ = 0;
    std::vector<QMetaObject::Connection> connections_;
};

}  // namespace meterlink::analysis
