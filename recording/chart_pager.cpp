#include "chart_pager.h"

namespace meterlink {

TChartControl::TChartControl(std::int32_t pageSize) {
    SetPageSize(pageSize);
    windowMin_ = 1;
    windowMax_ = pageSize_;
    pageCount_ = 1;
    currentPage_ = 1;
}

void TChartControl::recountPages() {
    const auto n = static_cast<std::int64_t>(values_.size());
    pageCount_ = static_cast<std::int32_t>(n / pageSize_ + (n % pageSize_ > 0 ? 1 : 0));
}

void TChartControl::scroll(double offset) {
    if (values_.empty()) return;
    const auto largest = static_cast<double>(values_.size() - 1);
    // Forward, only while a point lies beyond the window. Backward, never
    // before page one: the page number can run one point ahead of the window,
    // and counting pages back from it would otherwise reach a window that
    // ends at X 0: an empty page left of every reading.
    const bool moves = offset > 0 ? largest > windowMax_ : windowMin_ + offset >= 1;
    if (!moves) return;
    windowMin_ += offset;
    windowMax_ += offset;
}

void TChartControl::notifyChanged() {
    if (listener_.changed) listener_.changed();
}

void TChartControl::AddValue(double value) {
    values_.push_back(value);
    recountPages();
    const double before = windowMin_;
    if (!browsing_) {
        scroll(pageSize_);
        currentPage_ = pageCount_;
    }
    if (windowMin_ != before)
        notifyChanged();
    else if (listener_.pointAdded)
        listener_.pointAdded(values_.size() - 1);
}

void TChartControl::First() {
    if (pageCount_ < 2 || currentPage_ == 1) return;
    for (std::int32_t i = 1; i < currentPage_; ++i)
        scroll(-pageSize_);
    currentPage_ = 1;
    browsing_ = true;
    notifyChanged();
}

void TChartControl::Previous() {
    if (currentPage_ < 2) return;
    scroll(-pageSize_);
    --currentPage_;
    browsing_ = true;
    notifyChanged();
}

void TChartControl::Next() {
    if (pageCount_ < 2 || currentPage_ == pageCount_) return;
    scroll(pageSize_);
    ++currentPage_;
    browsing_ = currentPage_ != pageCount_;
    notifyChanged();
}

void TChartControl::Last() {
    if (pageCount_ < 2 || pageCount_ == currentPage_) return;
    for (std::int32_t i = currentPage_; i < pageCount_; ++i)
        scroll(pageSize_);
    currentPage_ = pageCount_;
    browsing_ = false;
    notifyChanged();
}

void TChartControl::SetPageSize(std::int32_t pageSize) {
    if (pageSize == pageSize_) return;
    pageSize_ = pageSize;
    windowMin_ = 1;
    windowMax_ = pageSize;
    recountPages();
    for (std::int32_t i = 1; i < pageCount_; ++i)
        scroll(pageSize);
    currentPage_ = pageCount_;
    browsing_ = false;
    notifyChanged();
}

void TChartControl::Clear() {
    First();
    values_.clear();
    browsing_ = false;
    notifyChanged();
}

void TChartControl::resetToPlaceholder() {
    values_.clear();
    values_.push_back(0.0);
    notifyChanged();
}

}  // namespace meterlink
