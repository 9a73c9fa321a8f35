#include "decimation.h"

#include <algorithm>
#include <cmath>

namespace meterlink {

namespace {

enum : std::uint8_t { UnitMask = 0x0F, HasValue = 0x10, Overload = 0x20, Fail = 0x40 };

void take(Column& c, std::uint32_t count, std::uint32_t numbers, std::uint32_t overloads, std::uint32_t fail,
          std::size_t firstRow, std::size_t lastRow) {
    if (c.count == 0) c.firstUnitRow = firstRow;
    c.firstUnitRow = std::min(c.firstUnitRow, firstRow);
    c.lastUnitRow = std::max(c.lastUnitRow, lastRow);
    c.count += count;
    c.overloads += overloads;
    c.noNumber += count - numbers - overloads;
    c.fail += fail;
    (void)numbers;
}

void takeExtremes(Column& c, std::uint32_t numbers, double min, std::size_t minRow, double max, std::size_t maxRow) {
    if (numbers == 0) return;
    if (c.numbers == 0 || min < c.min || (min == c.min && minRow < c.minRow)) {
        c.min = min;
        c.minRow = minRow;
    }
    if (c.numbers == 0 || max > c.max || (max == c.max && maxRow < c.maxRow)) {
        c.max = max;
        c.maxRow = maxRow;
    }
    c.numbers += numbers;
}

}  // namespace

bool Decimation::catchUp(std::size_t maxRows) {
    const LogPointSource& source = stats_.source();
    const std::size_t size = std::min(source.size(), stats_.rowCount());
    if (size < values_.size()) clear();
    std::size_t taken = 0;
    while (values_.size() < size && taken < maxRows) {
        const LogPoint p = source.point(values_.size());
        std::uint8_t f = static_cast<std::uint8_t>(p.unit);
        if (p.hasValue) f |= HasValue;
        if (p.overload) f |= Overload;
        if (p.verdict == RowVerdict::Fail) f |= Fail;
        values_.push_back(p.hasValue ? static_cast<float>(p.value) : 0.0f);
        flags_.push_back(f);
        ++taken;
    }
    return values_.size() == size;
}

void Decimation::clear() {
    values_.clear();
    flags_.clear();
}

void Decimation::addRows(Column& c, std::size_t first, std::size_t end, BaseUnit unit) const {
    end = std::min(end, values_.size());
    for (std::size_t row = first; row < end; ++row) {
        const std::uint8_t f = flags_[row];
        if ((f & UnitMask) != static_cast<std::uint8_t>(unit)) continue;
        const bool value = f & HasValue;
        take(c, 1, value ? 1 : 0, (f & Overload) ? 1 : 0, (f & Fail) ? 1 : 0, row, row);
        if (value) takeExtremes(c, 1, values_[row], row, values_[row], row);
    }
}

std::vector<Column> Decimation::byEdges(BaseUnit unit, const std::vector<std::size_t>& edges) const {
    std::vector<Column> out;
    if (edges.size() < 2) return out;
    out.reserve(edges.size() - 1);
    const std::size_t rows = std::min(values_.size(), stats_.rowCount());
    for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
        Column c;
        c.firstRow = std::min(edges[k], rows);
        c.endRow = std::max(c.firstRow, std::min(edges[k + 1], rows));
        stats_.cover(
            c.firstRow, c.endRow,
            [&](const LogStatistics::Summary& s) {
                if (s.unit != unit || s.count == 0) return;
                take(c, s.count, s.numbers, s.overloads, s.fail, s.firstRow, s.lastRow);
                takeExtremes(c, s.numbers, s.min, s.minRow, s.max, s.maxRow);
            },
            [&](std::size_t a, std::size_t b) { addRows(c, a, b, unit); });
        out.push_back(c);
    }
    return out;
}

std::vector<Column> Decimation::byRows(BaseUnit unit, std::size_t first, std::size_t end, int columns) const {
    if (columns <= 0 || end <= first) return {};
    std::vector<std::size_t> edges(static_cast<std::size_t>(columns) + 1);
    const double span = double(end - first);
    for (std::size_t k = 0; k < edges.size(); ++k)
        edges[k] = first + static_cast<std::size_t>(std::floor(span * double(k) / columns));
    edges.back() = end;
    return byEdges(unit, edges);
}

std::vector<Column> Decimation::byTime(BaseUnit unit, std::int64_t t0Ms, std::int64_t t1Ms, int columns) const {
    if (columns <= 0 || t1Ms <= t0Ms) return {};
    std::vector<std::size_t> edges(static_cast<std::size_t>(columns) + 1);
    const double span = double(t1Ms - t0Ms);
    for (std::size_t k = 0; k < edges.size(); ++k)
        edges[k] = stats_.blockRowAtTime(t0Ms + static_cast<std::int64_t>(std::floor(span * double(k) / columns)));
    // An edge is found to the row only where its columns are narrow: moving
    // it by less than a block is less than a sixteenth of a wide column.
    constexpr std::size_t kWide = std::size_t{16} << LogStatistics::kShift;
    std::vector<std::size_t> exact = edges;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        const bool wideBefore = k == 0 || edges[k] - edges[k - 1] >= kWide;
        const bool wideAfter = k + 1 == edges.size() || edges[k + 1] - edges[k] >= kWide;
        if (!(wideBefore && wideAfter))
            exact[k] = stats_.rowAtTime(t0Ms + static_cast<std::int64_t>(std::floor(span * double(k) / columns)));
    }
    return byEdges(unit, exact);
}

}  // namespace meterlink
