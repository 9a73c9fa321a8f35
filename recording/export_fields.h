#pragma once
// The field texts the CSV and JSON-lines writers share.

#include "row_view.h"
#include "protocol/si_value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace meterlink {

void appendInteger(std::string& out, std::int32_t value);
// Shortest text that reads back as the same double.
void appendShortestDouble(std::string& out, double value);
void appendIsoTime(std::string& out, const FullTime& time);
// The value text and the unit as a person reads them: "0.015 kΩ".
void appendDisplay(std::string& out, const RowView& row);
// "pass" or "fail"; empty without a verdict.
std::string_view verdictName(std::string_view verdict);

}  // namespace meterlink
