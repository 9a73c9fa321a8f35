#include "links/usb_report_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct BytesCase {
    const char* name;
    std::vector<std::uint8_t> report;   // count byte first
    bool sevenBitLine;
    std::vector<std::uint8_t> meterBytes;
};

void PrintTo(const BytesCase& c, std::ostream* os) { *os << c.name; }

class ReportBytes : public testing::TestWithParam<BytesCase> {};

TEST_P(ReportBytes, meter_bytes_of_a_report) {
    const BytesCase& c = GetParam();
    const UsbReportBytes b = usbReportBytes(c.report.data(), c.report.size(), c.sevenBitLine);
    EXPECT_EQ(std::vector<std::uint8_t>(b.data(), b.data() + b.size), c.meterBytes);
}

// A UT61E (7O1) through the cable: '0' (0x30, odd parity bit set) comes as
// 0xB0, ';' (0x3B) as 0x3B, CR as 0x8D, LF as 0x0A.
const BytesCase kCases[] = {
    {"seven_bit_line_parity_cleared", {0xF4, 0xB0, 0x3B, 0x8D, 0x0A, 0, 0, 0}, true, {0x30, 0x3B, 0x0D, 0x0A}},
    {"eight_bit_line_kept", {0xF4, 0xB0, 0x3B, 0x8D, 0x0A, 0, 0, 0}, false, {0xB0, 0x3B, 0x8D, 0x0A}},
    {"idle_report_has_none", {0xF0, 0xB0, 0, 0, 0, 0, 0, 0}, true, {}},
    {"count_beyond_the_report", {0xF9, 0xB1, 0xB2}, true, {0x31, 0x32}},
};
INSTANTIATE_TEST_SUITE_P(UsbCable, ReportBytes, testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
