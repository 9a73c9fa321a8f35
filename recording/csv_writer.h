#pragma once
// A row as a CSV record (RFC 4180, UTF-8, "." decimal) under the header
//   timestamp,no,function,value,unit,display,range,verdict
// timestamp: ISO 8601 local time with milliseconds and offset; value in SI
// base units (empty when none); unit its SI symbol; display as the meter
// showed it; range auto/manual; verdict pass/fail.

#include "row_view.h"

#include <string>
#include <string_view>

namespace meterlink {

// One field, quoted only when it must be: a comma, a quote or a line break
// inside.
void appendCsvField(std::string& out, std::string_view text);
void appendCsvHeader(std::string& out, std::string_view lineEnd);
void appendCsvRecord(std::string& out, const RowView& row, std::string_view decimalSep, std::string_view lineEnd);

}  // namespace meterlink
