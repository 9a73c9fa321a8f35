#pragma once
// A row as one JSON object, the same fields as the CSV export:
//   {"timestamp":"2026-12-10T16:08:55.123+01:00","no":12,"function":"DC",
//    "value":-0.0346,"unit":"V","display":"-034.6 mV","range":"auto",
//    "verdict":"pass","overload":false}
// Numbers are numbers (values in SI base units, shortest round-trip form),
// null where a row has none. One object a line in a .jsonl file.

#include "row_view.h"

#include <string>
#include <string_view>

namespace meterlink {

// Appends the object, without a line end. decimalSep is the separator of the
// row's value text.
void appendJsonObject(std::string& out, const RowView& row, std::string_view decimalSep);

// Appends a JSON string literal, quotes included.
void appendJsonString(std::string& out, std::string_view utf8);

}  // namespace meterlink
