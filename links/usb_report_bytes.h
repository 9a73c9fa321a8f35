#pragma once
// The meter bytes an input report of the USB cable carries: a count byte
// whose low four bits give n, then n bytes (n from 1 to 9). Other reports
// carry none. Meters whose frames the cable's own framing cannot cut (every
// family but the shipped one) are fed these bytes as a stream.
//
// On a line of seven data bits the cable hands on the parity bit (or the
// first stop bit) as bit 7 of each byte; such a meter's bytes have it cleared.

#include <array>
#include <cstddef>
#include <cstdint>

struct UsbReportBytes {
    std::array<std::uint8_t, 9> bytes{};
    std::size_t size = 0;
    const std::uint8_t* data() const { return bytes.data(); }
};

inline UsbReportBytes usbReportBytes(const std::uint8_t* report, std::size_t size, bool sevenBitLine = false) {
    UsbReportBytes out;
    if (size == 0) return out;
    const std::size_t n = report[0] & 0x0Fu;
    if (n < 1 || n > 9) return out;
    // Only the bytes the report holds.
    out.size = n < size - 1 ? n : size - 1;
    const std::uint8_t mask = sevenBitLine ? 0x7F : 0xFF;
    for (std::size_t i = 0; i < out.size; ++i) out.bytes[i] = report[1 + i] & mask;
    return out;
}
