#include "row_view.h"

namespace meterlink {

namespace {

std::string_view sv(QByteArrayView v) { return {v.data(), static_cast<std::size_t>(v.size())}; }

}  // namespace

RowView rowView(const RecordTable& table, int row) {
    RowView v;
    v.no = table.integer(row, RecordTable::No);
    v.fullTime = table.fullTime(row);
    v.function = sv(table.utf8(row, RecordTable::DCAC));
    v.value = sv(table.utf8(row, RecordTable::Value));
    v.unit = sv(table.utf8(row, RecordTable::Unit));
    v.verdict = sv(table.utf8(row, RecordTable::Auto));
    v.range = table.range(row);
    v.limits = table.limits(row);
    return v;
}

void appendDisplayUnit(std::string& out, std::string_view unit) {
    // A lone "u" is no prefixed unit.
    if (unit.size() > 1 && unit.front() == 'u') {
        out += "\u00B5";
        unit.remove_prefix(1);
    }
    for (char c : unit) {
        switch (c) {
        case '*': out += "\u03A9"; break;
        case '#': out += "\u00B0C"; break;
        case '?': out += "\u00B0F"; break;
        default: out += c; break;
        }
    }
}

const char* rangeName(RecordTable::Range range) {
    switch (range) {
    case RecordTable::Range::Auto: return "auto";
    case RecordTable::Range::Manual: return "manual";
    case RecordTable::Range::Unknown: break;
    }
    return nullptr;
}

}  // namespace meterlink
