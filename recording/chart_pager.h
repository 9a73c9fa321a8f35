#pragma once
// The chart's points and its page arithmetic. Every logged value becomes the
// next point (X = how many points there were before, so X counts from 0 in
// the order added); the chart shows a window of one page of X values, which
// follows the newest page unless the user holds an earlier one. Both series
// of the chart draw these same points, so they are stored once here and the
// view is handed only those of the visible window.

#include "chunked_vector.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace meterlink {

class TChartControl {
public:
    // Create(Chart, PageSize): an empty chart paged by pageSize (at least 1).
    explicit TChartControl(std::int32_t pageSize);

    void AddValue(double value);
    void First();
    void Previous();
    void Next();
    void Last();
    // pageSize must be at least 1; the caller refuses anything else.
    void SetPageSize(std::int32_t pageSize);
    // Back to the first page and every point removed.
    void Clear();
    // Every point removed and one placeholder added at X 0, left of the first
    // page; the page counters and the window stay as they are.
    void resetToPlaceholder();

    std::int32_t FCurrentPage() const { return currentPage_; }
    std::int32_t FPageSize() const { return pageSize_; }
    std::int32_t FPageCount() const { return pageCount_; }
    bool FBrowsing() const { return browsing_; }

    // The bottom axis' visible window, [minimum, maximum] in X.
    double windowMinimum() const { return windowMin_; }
    double windowMaximum() const { return windowMax_; }

    std::size_t pointCount() const { return values_.size(); }
    double value(std::size_t x) const { return values_[x]; }
    std::size_t bytesUsed() const { return values_.capacityBytes(); }

    // Told after any change of the points or the window: the view redraws
    // what it shows. pointAdded alone means one point was appended and the
    // window did not move.
    struct Listener {
        std::function<void()> changed;
        std::function<void(std::size_t x)> pointAdded;
    };
    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    // The window and the number move together.
    void showPage(std::int32_t page);
    void recountPages();
    void notifyChanged();

    ChunkedVector<double> values_;
    std::int32_t currentPage_ = 0;
    std::int32_t pageSize_ = 0;
    std::int32_t pageCount_ = 0;
    bool browsing_ = false;
    double windowMin_ = 0;
    double windowMax_ = 0;
    Listener listener_;
};

}  // namespace meterlink
