#include "json_lines_writer.h"

#include "export_fields.h"

#include <utility>


namespace meterlink {

void appendJsonString(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (b < 0x20) {
                out += "\\u00";
                out += kHex[b >> 4];
                out += kHex[b & 15];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

namespace {

void appendStringOrNull(std::string& out, std::string_view text) {
    if (text.empty()) out += "null";
    else appendJsonString(out, text);
}

}  // namespace

void appendJsonObject(std::string& out, const RowView& row, std::string_view decimalSep) {
    const SiValue si = toSiValue(row.value, row.unit, decimalSep);
    out += "{\"timestamp\":";
    if (row.fullTime) {
        out += '"';
        appendIsoTime(out, *row.fullTime);
        out += '"';
    } else {
        out += "null";
    }
    out += ",\"no\":";
    if (row.no) {
        appendInteger(out, *row.no);
    } else {
        out += "null";
    }
    out += ",\"function\":";
    appendStringOrNull(out, row.function);
    out += ",\"value\":";
    if (si.hasValue) appendShortestDouble(out, si.value);
    else out += "null";
    out += ",\"unit\":";
    appendStringOrNull(out, si.unit);
    out += ",\"display\":";
    std::string display;
    appendDisplay(display, row);
    appendStringOrNull(out, display);
    out += ",\"range\":";
    const char* range = rangeName(row.range);
    appendStringOrNull(out, range ? range : "");
    out += ",\"verdict\":";
    appendStringOrNull(out, verdictName(row.verdict));
    out += ",\"overload\":";
    out += si.overload ? "true" : "false";
    for (const auto& [key, limit] : {std::pair{",\"high_limit\":", row.limits.high}, std::pair{",\"low_limit\":", row.limits.low}}) {
        out += key;
        if (limit) appendShortestDouble(out, *limit);
        else out += "null";
    }
    out += '}';
}

}  // namespace meterlink
