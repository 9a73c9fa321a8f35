#pragma once
// The meter bytes an input report of the USB cable carries: a count byte
// whose low four bits give n, then n bytes (n from 1 to 9). Other reports
// carry none. Meters whose frames the cable's own framing cannot cut (every
// family but the shipped one) are fed these bytes as a stream.

#include <cstddef>
#include <cstdint>

struct UsbReportBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

inline UsbReportBytes usbReportBytes(const std::uint8_t* report, std::size_t size) {
    if (size == 0) return {};
    const std::size_t n = report[0] & 0x0Fu;
    if (n < 1 || n > 9) return {};
    // Only the bytes the report holds.
    return {report + 1, n < size - 1 ? n : size - 1};
}
