#include "bench_rows.h"

#include "csv_writer.h"
#include "export_fields.h"
#include "json_lines_writer.h"

#include <algorithm>

#include "protocol/si_value.h"

#include <map>

namespace meterlink {

namespace {

void appendOptionalJsonString(std::string& out, std::string_view text) {
    if (text.empty())
        out += "null";
    else
        appendJsonString(out, text);
}

}  // namespace

BenchSample meterSample(std::string channel, const RowView& row, std::string_view decimalSep) {
    BenchSample s;
    s.channel = std::move(channel);
    s.function = std::string(row.function);
    const SiValue si = toSiValue(row.value, row.unit, decimalSep);
    s.hasValue = si.hasValue;
    s.value = si.value;
    s.unit = std::string(si.unit);
    appendDisplay(s.display, row);
    if (const char* range = rangeName(row.range)) s.range = range;
    s.verdict = std::string(verdictName(row.verdict));
    return s;
}

BenchSample missingSample(std::string channel) {
    BenchSample s;
    s.channel = std::move(channel);
    return s;
}

std::vector<BenchRow> benchRowsOf(const std::vector<BenchTable>& tables, std::string_view decimalSep) {
    // Instants in time order; a meter's clock-less rows cannot be placed.
    std::map<std::int64_t, BenchRow> byTime;
    for (std::size_t c = 0; c < tables.size(); ++c) {
        const BenchTable& t = tables[c];
        if (!t.table) continue;
        for (int row = std::max(0, t.firstRow); row < t.table->rowCount(); ++row) {
            const RowView view = rowView(*t.table, row);
            if (!view.fullTime) continue;
            BenchRow& instant = byTime[view.fullTime->utcMs];
            if (instant.samples.empty()) {
                instant.time = *view.fullTime;
                for (const auto& other : tables) instant.samples.push_back(missingSample(other.channel));
            }
            instant.samples[c] = meterSample(t.channel, view, decimalSep);
        }
    }
    std::vector<BenchRow> rows;
    rows.reserve(byTime.size());
    for (auto& [ms, row] : byTime) rows.push_back(std::move(row));
    return rows;
}

void appendBenchCsvHeader(std::string& out, std::string_view lineEnd) {
    out += "timestamp,channel,function,value,unit,display,range,verdict";
    out += lineEnd;
}

void appendBenchCsvRecords(std::string& out, const BenchRow& row, std::string_view lineEnd) {
    char time[kIsoTimeMaxBytes];
    const std::string_view timeText(time, static_cast<std::size_t>(formatIsoTime(row.time, time) - time));
    for (const auto& s : row.samples) {
        out += timeText;
        out += ',';
        appendCsvField(out, s.channel);
        out += ',';
        appendCsvField(out, s.function);
        out += ',';
        if (s.hasValue) appendShortestDouble(out, s.value);
        out += ',';
        appendCsvField(out, s.unit);
        out += ',';
        appendCsvField(out, s.display);
        out += ',';
        out += s.range;
        out += ',';
        out += s.verdict;
        out += lineEnd;
    }
}

void appendBenchJsonObject(std::string& out, const FullTime& time, const BenchSample& s) {
    out += "{\"timestamp\":\"";
    appendIsoTime(out, time);
    out += "\",\"channel\":";
    appendJsonString(out, s.channel);
    out += ",\"function\":";
    appendOptionalJsonString(out, s.function);
    out += ",\"value\":";
    if (s.hasValue)
        appendShortestDouble(out, s.value);
    else
        out += "null";
    out += ",\"unit\":";
    appendOptionalJsonString(out, s.unit);
    out += ",\"display\":";
    appendOptionalJsonString(out, s.display);
    out += ",\"range\":";
    appendOptionalJsonString(out, s.range);
    out += ",\"verdict\":";
    appendOptionalJsonString(out, s.verdict);
    out += '}';
}

void appendBenchJsonLines(std::string& out, const BenchRow& row, std::string_view lineEnd) {
    for (const auto& s : row.samples) {
        appendBenchJsonObject(out, row.time, s);
        out += lineEnd;
    }
}

namespace {

// Each channel's first unit in the rows, "" where it has none.
std::vector<std::string> firstUnits(const std::vector<BenchRow>& rows) {
    std::vector<std::string> units(rows.empty() ? 0 : rows.front().samples.size());
    for (const auto& row : rows)
        for (std::size_t i = 0; i < units.size() && i < row.samples.size(); ++i)
            if (units[i].empty()) units[i] = row.samples[i].unit;
    return units;
}

}  // namespace

bool BenchWideCsv::unitsKnown(const std::vector<BenchRow>& rows) {
    const auto units = firstUnits(rows);
    return !rows.empty() && std::none_of(units.begin(), units.end(), [](const std::string& u) { return u.empty(); });
}

void BenchWideCsv::appendHeader(std::string& out, const std::vector<BenchRow>& rows, std::string_view lineEnd) {
    units_ = firstUnits(rows);
    out += "timestamp";
    for (std::size_t i = 0; i < units_.size(); ++i) {
        std::string name = rows.front().samples[i].channel;
        if (!units_[i].empty()) name += " [" + units_[i] + "]";
        out += ',';
        appendCsvField(out, name);
    }
    out += lineEnd;
}

void BenchWideCsv::appendRow(std::string& out, const BenchRow& row, std::string_view lineEnd) const {
    appendIsoTime(out, row.time);
    for (std::size_t i = 0; i < row.samples.size(); ++i) {
        const BenchSample& s = row.samples[i];
        out += ',';
        if (!s.hasValue) continue;
        const bool ownUnit = i >= units_.size() || s.unit != units_[i];
        if (!ownUnit) {
            appendShortestDouble(out, s.value);
            continue;
        }
        std::string cell;
        appendShortestDouble(cell, s.value);
        if (!s.unit.empty()) cell += ' ' + s.unit;
        appendCsvField(out, cell);
    }
    out += lineEnd;
}

}  // namespace meterlink
