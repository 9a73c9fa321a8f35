#include "export_fields.h"

#include <charconv>

namespace meterlink {

void appendInteger(std::string& out, std::int32_t value) {
    char buffer[12];
    out.append(buffer, static_cast<std::size_t>(std::to_chars(buffer, buffer + sizeof buffer, value).ptr - buffer));
}

void appendShortestDouble(std::string& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

void appendIsoTime(std::string& out, const FullTime& time) {
    char buffer[kIsoTimeMaxBytes];
    out.append(buffer, static_cast<std::size_t>(formatIsoTime(time, buffer) - buffer));
}

void appendDisplay(std::string& out, const RowView& row) {
    out += row.value;
    if (row.unit.empty()) return;
    if (!row.value.empty()) out += ' ';
    appendDisplayUnit(out, row.unit);
}

std::string_view verdictName(std::string_view verdict) {
    if (verdict == "pass" || verdict == "Pass") return "pass";
    if (verdict == "Fail" || verdict == "fail") return "fail";
    return {};
}

}  // namespace meterlink
