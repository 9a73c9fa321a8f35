#include "row_timeline.h"

#include "recording/log_points.h"

#include <algorithm>

namespace meterlink::analysis {

namespace {
constexpr std::size_t kIntervalSamples = 31;
}

void RowTimeline::reset() {
    times_.truncate(0);
    placed_.clear();
    clockBack_.clear();
    firstGaps_.clear();
    intervalMs_ = 1000;
    offsetMinutes_ = 0;
    shiftMs_ = 0;
}

bool RowTimeline::catchUp(const LogPointSource& source, std::size_t maxRows) {
    if (source.size() < times_.size()) reset();
    const std::size_t end = times_.size() + std::min(source.size() - times_.size(), std::max<std::size_t>(maxRows, 1));
    for (std::size_t r = times_.size(); r < end; ++r) {
        const LogPoint p = source.point(r);
        const int row = static_cast<int>(r);
        // After a clock went back, the rows after it keep their own spacing.
        double t = static_cast<double>(p.utcMs) + shiftMs_;
        if (r == 0) offsetMinutes_ = p.offsetMinutes;
        if (r > 0) {
            const double before = times_.back();
            if (t < before) {
                clockBack_.push_back(row);
                shiftMs_ += before + intervalMs_ - t;
                t = before + intervalMs_;
            } else if (!p.timePlaced && t > before) {
                learnInterval(t - before);
            }
        }
        if (p.timePlaced) {
            if (!placed_.empty() && placed_.back().last == row - 1)
                placed_.back().last = row;
            else
                placed_.push_back({row, row});
        }
        times_.push_back(t);
    }
    return times_.size() == source.size();
}

void RowTimeline::learnInterval(double gap) {
    if (firstGaps_.size() >= kIntervalSamples) return;
    firstGaps_.push_back(gap);
    std::vector<double> sorted = firstGaps_;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    intervalMs_ = std::max(sorted[sorted.size() / 2], 1.0);
}

int RowTimeline::lowerBound(double t) const {
    int lo = 0, hi = rowCount();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (at(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace meterlink::analysis
