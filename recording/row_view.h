#pragma once
// One row of the log as the exports see it: its fields, its full time and
// range mode. Plain views, so rows that never reach a table (a reading being
// published) can be written by the same writers.

#include "full_time.h"
#include "record_table.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace meterlink {

struct RowView {
    std::optional<std::int32_t> no;
    std::optional<FullTime> fullTime;
    std::string_view function;   // "DC", "AC", "OHM", ... as the decoder names it
    std::string_view value;      // as shown, with the user's decimal separator
    std::string_view unit;       // as the decoder writes it: "mV", "k*", "#"
    std::string_view verdict;    // "pass", "Fail" or empty
    RecordTable::Range range = RecordTable::Range::Unknown;
    RecordTable::Limits limits;   // SI values that judged it
};

RowView rowView(const RecordTable& table, int row);

// The unit as a person reads it: "k*" is "kΩ", "uA" "µA", "#" "°C".
void appendDisplayUnit(std::string& out, std::string_view unit);

const char* rangeName(RecordTable::Range range);   // "auto", "manual" or nullptr

}  // namespace meterlink
