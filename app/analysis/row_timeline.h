#pragma once
// Where each row of a log stands on the analysis chart's time axis: at its
// moment, in row order, never running backwards. A row whose moment lies
// before the row before it (a clock set back by hand or by daylight saving)
// is drawn after that row at the usual interval and marked; rows whose
// moment was placed rather than logged are marked too. The plotted moments
// are kept (8 bytes a row) so a pixel column finds its rows by binary search.
// Rows are taken in as they arrive, in slices, so a huge log never holds the
// window up.

#include "recording/chunked_vector.h"

#include <cstddef>
#include <vector>

namespace meterlink {
class LogPointSource;
}

namespace meterlink::analysis {

class RowTimeline {
public:
    // Takes in at most maxRows of the source's rows not yet seen; true once
    // all are in. A source that shrank (a log emptied) starts afresh.
    bool catchUp(const LogPointSource& source, std::size_t maxRows);
    void reset();

    int rowCount() const { return static_cast<int>(times_.size()); }
    double at(int row) const { return times_[static_cast<std::size_t>(row)]; }
    double first() const { return times_.empty() ? 0 : times_[0]; }
    double last() const { return times_.empty() ? 0 : times_.back(); }
    // The first row at or after t (rowCount() when none).
    int lowerBound(double t) const;

    // Rows whose moment was placed, not logged, as [first, last] runs.
    struct Run {
        int first, last;
    };
    const std::vector<Run>& placedRuns() const { return placed_; }
    // Rows at which the clock went back.
    const std::vector<int>& clockBackRows() const { return clockBack_; }
    // The usual time between rows (the median of the first gaps); 1 s until known.
    double intervalMs() const { return intervalMs_; }
    // A pause of more than three usual intervals is drawn as a gap.
    bool isGap(double fromMs, double toMs) const { return toMs - fromMs > 3 * intervalMs_; }
    // The UTC offset of the log's local times (its first row's).
    int offsetMinutes() const { return offsetMinutes_; }

private:
    void learnInterval(double gap);

    ChunkedVector<double, 14> times_;
    std::vector<Run> placed_;
    std::vector<int> clockBack_;
    std::vector<double> firstGaps_;
    double intervalMs_ = 1000;
    int offsetMinutes_ = 0;
    double shiftMs_ = 0;   // added to every moment since the clock last went back
};

}  // namespace meterlink::analysis
