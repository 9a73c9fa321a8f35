#include "log_trace.h"

#include "recording/record_table.h"

namespace meterlink::analysis {

LogTrace::LogTrace(const RecordTable& table, const QString& decimalSep, QString name, QColor colour)
    : table_(table),
      points_(table, decimalSep.toStdString()),
      stats_(points_),
      decimation_(stats_),
      name_(std::move(name)),
      colour_(colour) {}

LogTrace::LogTrace(std::unique_ptr<RecordTable> table, const QString& decimalSep, QString name, QColor colour)
    : LogTrace(*table, decimalSep, std::move(name), colour) {
    owned_ = std::move(table);
}

LogTrace::~LogTrace() {
    for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

bool LogTrace::catchUp(std::size_t maxRows) {
    points_.sync();
    const bool stats = stats_.catchUp(maxRows);
    const bool dec = decimation_.catchUp(maxRows);
    const bool time = timeline_.catchUp(points_, maxRows);
    return stats && dec && time;
}

bool LogTrace::caughtUp() const {
    const std::size_t n = points_.size();
    return stats_.rowCount() == n && decimation_.rowCount() == n &&
           static_cast<std::size_t>(timeline_.rowCount()) == n && n == static_cast<std::size_t>(table_.rowCount());
}

int LogTrace::rowCount() const {
    return static_cast<int>(std::min({stats_.rowCount(), decimation_.rowCount(),
                                      static_cast<std::size_t>(timeline_.rowCount())}));
}

void LogTrace::follow() {
    // Emptied: every part forgets its rows at once, before anything is drawn.
    connections_.push_back(QObject::connect(&table_, &RecordTable::cleared, [this] {
        points_.reset();
        stats_.clear();
        decimation_.clear();
        timeline_.reset();
    }));
}

std::vector<BaseUnit> LogTrace::units() const {
    std::vector<BaseUnit> units;
    for (const UnitStatistics& u : stats_.all())
        if (u.count > 0) units.push_back(u.unit);
    return units;
}

}  // namespace meterlink::analysis
