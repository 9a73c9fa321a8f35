#pragma once
// The two HID-to-UART bridges of the UT-D09 cable, as framing only (plain
// C++, no Qt): what to send to set the UART up, how the meter's bytes are
// wrapped into the reports the PC writes and unwrapped from the reports it
// reads.
//
// CP2110 (Silicon Labs AN434): the UART is enabled (feature report 0x41,
// 1), its line set (0x50: baud as four bytes high byte first, parity, flow
// control, data bits 0-3 for 5-8, stop bits 0 short) and its FIFOs purged
// (0x43, 3: both). Data travels in interrupt reports whose report ID is the
// byte count, 1 to 63, both ways.
// CH9329: 65-byte reports, report ID 0, byte 1 the byte count (up to 63),
// then the bytes; its UART keeps the line it was set to (9600 8N1 as sold),
// so there is nothing to set up.

#include "protocol/meter_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace meterlink {

enum class UartBridge { Cp2110, Ch9329 };

// The bridge inside a UT-D09 cable with this USB id; false when it is none.
bool uartBridgeOf(std::uint16_t vendorId, std::uint16_t productId, UartBridge& bridge);
std::string_view uartBridgeName(UartBridge b);   // "CP2110", "CH9329"

constexpr std::size_t kBridgeMaxBytes = 63;        // meter bytes in one report
constexpr std::size_t kCh9329ReportBytes = 65;     // report ID included
constexpr std::size_t kCp2110MaxReportBytes = 64;  // report ID included

// CP2110 feature reports.
constexpr std::uint8_t kCp2110UartEnable = 0x41;
constexpr std::uint8_t kCp2110PurgeFifos = 0x43;
constexpr std::uint8_t kCp2110UartConfig = 0x50;

struct BridgeSetupStep {
    std::array<std::uint8_t, 10> bytes{};
    std::size_t size = 0;
    std::string_view what;   // for the message when the bridge refuses it
};
// The feature reports that set the bridge up for the line, in order (none
// for the CH9329).
std::vector<BridgeSetupStep> bridgeSetup(UartBridge b, const LineSettings& line);

// The output reports that carry size bytes, report ID first, each handed to
// sink(report, reportSize).
template <class Sink>
void wrapBridgeBytes(UartBridge b, const std::uint8_t* data, std::size_t size, Sink&& sink) {
    std::array<std::uint8_t, kCh9329ReportBytes> report{};
    while (size > 0) {
        const std::size_t n = size < kBridgeMaxBytes ? size : kBridgeMaxBytes;
        std::size_t at = 0;
        if (b == UartBridge::Cp2110) {
            report[at++] = static_cast<std::uint8_t>(n);
        } else {
            report.fill(0);
            report[at++] = 0;
            report[at++] = static_cast<std::uint8_t>(n);
        }
        for (std::size_t i = 0; i < n; ++i) report[at + i] = data[i];
        sink(report.data(), b == UartBridge::Cp2110 ? at + n : kCh9329ReportBytes);
        data += n;
        size -= n;
    }
}

struct BridgeBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool valid = false;   // false: no data report of the bridge (a count beyond the report)
};
// The meter bytes in one input report: its report ID, then size bytes
// after it, as the read thread hands them on.
BridgeBytes unwrapBridgeReport(UartBridge b, std::uint8_t reportId, const std::uint8_t* data, std::size_t size);

}  // namespace meterlink
