#include "csv_writer.h"

#include "export_fields.h"

namespace meterlink {

void appendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvHeader(std::string& out, std::string_view lineEnd) {
    out += "timestamp,no,function,value,unit,display,range,verdict,high_limit,low_limit";
    out += lineEnd;
}

void appendCsvRecord(std::string& out, const RowView& row, std::string_view decimalSep, std::string_view lineEnd) {
    const SiValue si = toSiValue(row.value, row.unit, decimalSep);
    if (row.fullTime) appendIsoTime(out, *row.fullTime);
    out += ',';
    if (row.no) {
        appendInteger(out, *row.no);
    }
    out += ',';
    appendCsvField(out, row.function);
    out += ',';
    if (si.hasValue) appendShortestDouble(out, si.value);
    out += ',';
    out += si.unit;
    out += ',';
    std::string display;
    appendDisplay(display, row);
    appendCsvField(out, display);
    out += ',';
    if (const char* range = rangeName(row.range)) out += range;
    out += ',';
    out += verdictName(row.verdict);
    out += ',';
    if (row.limits.high) appendShortestDouble(out, *row.limits.high);
    out += ',';
    if (row.limits.low) appendShortestDouble(out, *row.limits.low);
    out += lineEnd;
}

}  // namespace meterlink
