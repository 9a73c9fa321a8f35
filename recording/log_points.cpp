#include "log_points.h"

#include "record_table.h"
#include "row_view.h"
#include "protocol/si_value.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace meterlink {

namespace {

constexpr std::array<std::string_view, kBaseUnitCount> kSymbols = {
    "V", "A", "\u03A9", "F", "Hz", "%", "\u00B0C", "\u00B0F", "W", "dB", "dBm", ""};

// Rows with nothing to place them by stand one second apart.
constexpr double kRowStepMs = 1000;

}  // namespace

std::string_view baseUnitSymbol(BaseUnit unit) { return kSymbols[static_cast<std::size_t>(unit)]; }

BaseUnit baseUnitOf(std::string_view siSymbol) {
    for (std::size_t i = 0; i + 1 < kSymbols.size(); ++i)
        if (kSymbols[i] == siSymbol) return static_cast<BaseUnit>(i);
    return BaseUnit::Unknown;
}

LogPoint pointOf(std::string_view valueText, std::string_view unitText, std::string_view verdictText,
                 std::string_view decimalSep) {
    const SiValue si = toSiValue(valueText, unitText, decimalSep);
    LogPoint p;
    p.hasValue = si.hasValue && std::isfinite(si.value);
    p.overload = si.overload;
    p.value = p.hasValue ? si.value : 0;
    p.unit = baseUnitOf(si.unit);
    if (verdictText.size() == 4) {
        const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
        std::string v(4, ' ');
        std::transform(verdictText.begin(), verdictText.end(), v.begin(), lower);
        if (v == "pass") p.verdict = RowVerdict::Pass;
        if (v == "fail") p.verdict = RowVerdict::Fail;
    }
    return p;
}

RecordTablePoints::RecordTablePoints(const RecordTable& table, std::string_view decimalSep)
    : table_(table), decimalSep_(decimalSep) {}

LogPoint RecordTablePoints::point(std::size_t row) const {
    const RowView v = rowView(table_, static_cast<int>(row));
    LogPoint p = pointOf(v.value, v.unit, v.verdict, decimalSep_);
    if (v.fullTime) {
        p.utcMs = v.fullTime->utcMs;
        p.offsetMinutes = v.fullTime->offsetMinutes;
        return p;
    }
    p.timePlaced = true;
    p.utcMs = placedTime(row, &p.offsetMinutes);
    return p;
}

std::int64_t RecordTablePoints::timeOf(std::size_t row) const {
    if (const auto t = table_.fullTime(static_cast<int>(row))) return t->utcMs;
    std::int16_t offset = 0;
    return placedTime(row, &offset);
}

std::int64_t RecordTablePoints::placedTime(std::size_t row, std::int16_t* offsetMinutes) const {
    const auto run = std::upper_bound(runs_.begin(), runs_.end(), row,
                                      [](std::size_t r, const PlacedRun& placed) { return r < placed.first; });
    if (run == runs_.begin()) return 0;
    const PlacedRun& r = *std::prev(run);
    if (row >= r.end) return 0;
    *offsetMinutes = r.offsetMinutes;
    return r.startMs + static_cast<std::int64_t>(std::llround(r.stepMs * double(row - r.first)));
}

void RecordTablePoints::sync() {
    const auto rows = static_cast<std::size_t>(table_.rowCount());
    std::size_t row = synced_;
    while (row < rows) {
        if (table_.fullTime(static_cast<int>(row))) {
            lastTime_ = *table_.fullTime(static_cast<int>(row));
            lastTimedRow_ = row;
            haveLastTime_ = true;
            ++row;
            continue;
        }
        // A stretch without times: between the neighbours' times when there
        // is a row with a time after it, else on from the last time.
        std::size_t end = row;
        while (end < rows && !table_.fullTime(static_cast<int>(end))) ++end;
        PlacedRun run{row, end, 0, kRowStepMs, 0};
        if (haveLastTime_) {
            const double gap = double(row - lastTimedRow_);
            run.offsetMinutes = lastTime_.offsetMinutes;
            if (end < rows) {
                const FullTime next = *table_.fullTime(static_cast<int>(end));
                run.stepMs = std::max(0.0, double(next.utcMs - lastTime_.utcMs) / double(end - lastTimedRow_));
            }
            run.startMs = lastTime_.utcMs + static_cast<std::int64_t>(std::llround(run.stepMs * gap));
        } else if (end < rows) {
            const FullTime next = *table_.fullTime(static_cast<int>(end));
            run.offsetMinutes = next.offsetMinutes;
            run.startMs = next.utcMs - static_cast<std::int64_t>(kRowStepMs * double(end - row));
        } else {
            run.startMs = static_cast<std::int64_t>(kRowStepMs * double(row));
        }
        runs_.push_back(run);
        row = end;
    }
    synced_ = rows;
}

void RecordTablePoints::reset() {
    synced_ = 0;
    runs_.clear();
    haveLastTime_ = false;
    lastTimedRow_ = 0;
    lastTime_ = {};
}

}  // namespace meterlink
