#include "log_statistics.h"

#include "decimation.h"
#include "record_table.h"

#include <QObject>

#include <algorithm>
#include <array>
#include <cmath>

namespace meterlink {

namespace {

using Summary = LogStatistics::Summary;
constexpr std::size_t kFan = std::size_t{1} << LogStatistics::kShift;

Summary emptySummary(BaseUnit unit) {
    Summary s{};
    s.unit = unit;
    return s;
}

// The row itself, as a summary of one.
Summary rowSummary(const LogPoint& p, std::size_t row) {
    Summary s = emptySummary(p.unit);
    const auto r = static_cast<std::uint32_t>(row);
    s.count = 1;
    s.firstRow = s.lastRow = s.minRow = s.maxRow = r;
    s.overloads = p.overload ? 1 : 0;
    s.pass = p.verdict == RowVerdict::Pass ? 1 : 0;
    s.fail = p.verdict == RowVerdict::Fail ? 1 : 0;
    s.placed = p.timePlaced ? 1 : 0;
    if (p.hasValue) {
        s.numbers = 1;
        s.min = s.max = s.mean = p.value;
    }
    return s;
}

// The time the row before spent outside the limits: up to this row.
std::int64_t outsideBefore(const LogPoint& previous, const LogPoint& p) {
    if (previous.verdict != RowVerdict::Fail) return 0;
    return std::max<std::int64_t>(0, p.utcMs - previous.utcMs);
}

Summary* entryFor(std::vector<Summary>& open, BaseUnit unit) {
    for (Summary& s : open)
        if (s.unit == unit) return &s;
    open.push_back(emptySummary(unit));
    return &open.back();
}

}  // namespace

void mergeSummary(Summary& a, const Summary& b) {
    a.timeOutsideMs += b.timeOutsideMs;
    if (b.count == 0) return;
    if (a.count == 0) {
        const std::int64_t outside = a.timeOutsideMs;
        a = b;
        a.timeOutsideMs = outside;
        return;
    }
    a.firstRow = std::min(a.firstRow, b.firstRow);
    a.lastRow = std::max(a.lastRow, b.lastRow);
    a.count += b.count;
    a.overloads += b.overloads;
    a.pass += b.pass;
    a.fail += b.fail;
    a.placed += b.placed;
    if (b.numbers == 0) return;
    if (a.numbers == 0) {
        a.numbers = b.numbers;
        a.min = b.min;
        a.max = b.max;
        a.minRow = b.minRow;
        a.maxRow = b.maxRow;
        a.mean = b.mean;
        a.m2 = b.m2;
        return;
    }
    if (b.min < a.min || (b.min == a.min && b.minRow < a.minRow)) {
        a.min = b.min;
        a.minRow = b.minRow;
    }
    if (b.max > a.max || (b.max == a.max && b.maxRow < a.maxRow)) {
        a.max = b.max;
        a.maxRow = b.maxRow;
    }
    const double na = a.numbers, nb = b.numbers, n = na + nb;
    const double delta = b.mean - a.mean;
    a.mean += delta * (nb / n);
    a.m2 += b.m2 + delta * delta * (na * nb / n);
    a.numbers += b.numbers;
}

std::optional<double> UnitStatistics::passedPercent() const {
    const std::uint64_t judged = pass + fail;
    if (judged == 0) return std::nullopt;
    return 100.0 * double(pass) / double(judged);
}

LogStatistics::LogStatistics(const LogPointSource& source) : source_(source) {}

LogStatistics::~LogStatistics() {
    for (const auto& c : connections_) QObject::disconnect(c);
}

bool LogStatistics::catchUp(std::size_t maxRows) {
    const std::size_t size = source_.size();
    if (size < rows_) clear();
    std::size_t taken = 0;
    while (rows_ < size && taken < maxRows) {
        addRow(source_.point(rows_));
        ++taken;
    }
    return rows_ == size;
}

void LogStatistics::addRow(const LogPoint& p) {
    if (levels_.empty()) {
        levels_.emplace_back();
        levels_[0].start.push_back(0);
    }
    if ((rows_ & (kFan - 1)) == 0) blockStartMs_.push_back(p.utcMs);
    std::vector<Summary>& open = levels_[0].open;
    if (lastPoint_) {
        const std::int64_t outside = outsideBefore(*lastPoint_, p);
        if (outside > 0) entryFor(open, lastPoint_->unit)->timeOutsideMs += outside;
    }
    mergeSummary(*entryFor(open, p.unit), rowSummary(p, rows_));
    lastPoint_ = p;
    ++rows_;
    if ((rows_ & (kFan - 1)) == 0) close(0);
}

void LogStatistics::close(std::size_t level) {
    if (level + 1 >= levels_.size()) {
        levels_.emplace_back();
        levels_.back().start.push_back(0);
    }
    Level& l = levels_[level];
    std::sort(l.open.begin(), l.open.end(), [](const Summary& a, const Summary& b) { return a.unit < b.unit; });
    std::vector<Summary>& above = levels_[level + 1].open;
    for (const Summary& s : l.open) {
        l.items.push_back(s);
        mergeSummary(*entryFor(above, s.unit), s);
    }
    l.start.push_back(static_cast<std::uint32_t>(l.items.size()));
    l.open.clear();
    if (((l.start.size() - 1) & (kFan - 1)) == 0) close(level + 1);
}

void LogStatistics::clear() {
    rows_ = 0;
    levels_.clear();
    lastPoint_.reset();
    blockStartMs_.clear();
}

void LogStatistics::follow(const RecordTable& table, RecordTablePoints& points, Decimation* decimation) {
    connections_.push_back(QObject::connect(&table, &RecordTable::rowsAppended, [this, &points, decimation] {
        points.sync();
        catchUp();
        if (decimation) decimation->catchUp();
    }));
    connections_.push_back(QObject::connect(&table, &RecordTable::cleared, [this, &points, decimation] {
        points.reset();
        clear();
        if (decimation) decimation->clear();
    }));
    points.sync();
    catchUp();
    if (decimation) decimation->catchUp();
}

void LogStatistics::scanRows(std::size_t first, std::size_t end, Summary* perUnit) const {
    if (first >= end) return;
    std::optional<LogPoint> previous;
    if (first > 0) previous = source_.point(first - 1);
    for (std::size_t row = first; row < end; ++row) {
        const LogPoint p = source_.point(row);
        if (previous) perUnit[static_cast<int>(previous->unit)].timeOutsideMs += outsideBefore(*previous, p);
        mergeSummary(perUnit[static_cast<int>(p.unit)], rowSummary(p, row));
        previous = p;
    }
}

std::vector<UnitStatistics> LogStatistics::range(std::size_t first, std::size_t end) const {
    end = std::min(end, rows_);
    std::array<Summary, kBaseUnitCount> perUnit;
    for (int u = 0; u < kBaseUnitCount; ++u) perUnit[u] = emptySummary(static_cast<BaseUnit>(u));
    cover(
        first, end, [&](const Summary& s) { mergeSummary(perUnit[static_cast<int>(s.unit)], s); },
        [&](std::size_t a, std::size_t b) { scanRows(a, b, perUnit.data()); });
    // The interval that ends at the first row began before the range.
    if (first > 0 && first < end) {
        const LogPoint previous = source_.point(first - 1);
        perUnit[static_cast<int>(previous.unit)].timeOutsideMs -= outsideBefore(previous, source_.point(first));
    }
    std::vector<UnitStatistics> out;
    for (const Summary& s : perUnit) {
        if (s.count == 0) continue;
        UnitStatistics u;
        u.unit = s.unit;
        u.count = s.count;
        u.numbers = s.numbers;
        u.overloads = s.overloads;
        u.noNumber = s.count - s.numbers - s.overloads;
        u.pass = s.pass;
        u.fail = s.fail;
        u.placedTimes = s.placed;
        u.timeOutsideMs = s.timeOutsideMs;
        if (s.numbers > 0) {
            u.min = Extreme{s.min, s.minRow, source_.point(s.minRow).time()};
            u.max = Extreme{s.max, s.maxRow, source_.point(s.maxRow).time()};
            u.mean = s.mean;
            if (s.numbers > 1) u.std = std::sqrt(std::max(0.0, s.m2) / double(s.numbers - 1));
        }
        u.firstRow = s.firstRow;
        u.lastRow = s.lastRow;
        u.first = source_.point(s.firstRow).time();
        u.last = source_.point(s.lastRow).time();
        u.durationMs = std::max<std::int64_t>(0, u.last.utcMs - u.first.utcMs);
        out.push_back(u);
    }
    return out;
}

UnitStatistics LogStatistics::range(std::size_t first, std::size_t end, BaseUnit unit) const {
    for (const UnitStatistics& u : range(first, end))
        if (u.unit == unit) return u;
    UnitStatistics none;
    none.unit = unit;
    return none;
}

std::size_t LogStatistics::blockRowAtTime(std::int64_t utcMs) const {
    std::size_t lo = 0, hi = blockStartMs_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (blockStartMs_[mid] < utcMs) lo = mid + 1;
        else hi = mid;
    }
    return std::min(rows_, lo * kFan);
}

std::size_t LogStatistics::rowAtTime(std::int64_t utcMs) const {
    // The block whose first row is the last one before utcMs, then its rows.
    const std::size_t blockRow = blockRowAtTime(utcMs);
    if (blockRow == 0) return 0;
    std::size_t a = ((blockRow - 1) & ~(kFan - 1)) + 1, b = blockRow;
    while (a < b) {
        const std::size_t mid = (a + b) / 2;
        if (source_.timeOf(mid) < utcMs) a = mid + 1;
        else b = mid;
    }
    return a;
}

std::size_t LogStatistics::bytesUsed() const {
    std::size_t bytes = blockStartMs_.capacityBytes() + levels_.capacity() * sizeof(Level);
    for (const Level& l : levels_)
        bytes += l.items.capacityBytes() + l.start.capacityBytes() + l.open.capacity() * sizeof(Summary);
    return bytes;
}

}  // namespace meterlink
