#include "chart_pager.h"

namespace meterlink {

// The number shown is always the page the window shows: page p is X from
// (p - 1) * size + 1 to p * size, and the pages are those that hold a point
// from X 1 on (the point at X 0 lies left of every page).

TChartControl::TChartControl(std::int32_t pageSize) {
    SetPageSize(pageSize);
    pageCount_ = 1;
}

void TChartControl::recountPages() {
    const auto n = static_cast<std::int64_t>(values_.size());
    if (n == 0) {
        pageCount_ = 0;
        return;
    }
    const std::int64_t largest = n - 1;
    const std::int64_t pages = largest / pageSize_ + (largest % pageSize_ > 0 ? 1 : 0);
    pageCount_ = static_cast<std::int32_t>(pages < 1 ? 1 : pages);
}

void TChartControl::showPage(std::int32_t page) {
    if (page < 1) page = 1;
    currentPage_ = page;
    windowMin_ = static_cast<double>(page - 1) * pageSize_ + 1;
    windowMax_ = static_cast<double>(page) * pageSize_;
}

void TChartControl::notifyChanged() {
    if (listener_.changed) listener_.changed();
}

void TChartControl::AddValue(double value) {
    values_.push_back(value);
    recountPages();
    if (!browsing_ && pageCount_ > currentPage_) {
        showPage(pageCount_);
        notifyChanged();
    } else if (listener_.pointAdded) {
        listener_.pointAdded(values_.size() - 1);
    }
}

void TChartControl::First() {
    if (currentPage_ <= 1) return;
    showPage(1);
    browsing_ = true;
    notifyChanged();
}

void TChartControl::Previous() {
    if (currentPage_ <= 1) return;
    showPage(currentPage_ - 1);
    browsing_ = true;
    notifyChanged();
}

void TChartControl::Next() {
    if (currentPage_ >= pageCount_) return;
    showPage(currentPage_ + 1);
    browsing_ = currentPage_ != pageCount_;
    notifyChanged();
}

void TChartControl::Last() {
    if (currentPage_ >= pageCount_) return;
    showPage(pageCount_);
    browsing_ = false;
    notifyChanged();
}

void TChartControl::SetPageSize(std::int32_t pageSize) {
    if (pageSize == pageSize_) return;
    pageSize_ = pageSize;
    recountPages();
    showPage(pageCount_);
    browsing_ = false;
    notifyChanged();
}

void TChartControl::Clear() {
    values_.clear();
    recountPages();
    showPage(1);
    browsing_ = false;
    notifyChanged();
}

void TChartControl::resetToPlaceholder() {
    values_.clear();
    values_.push_back(0.0);
    notifyChanged();
}

}  // namespace meterlink
