#pragma once
// One meter frame as received: sign byte first, up to and including the CR.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace meterlink {

constexpr std::size_t kFrameBytes = 13;   // sign, 11 bytes, CR
constexpr std::uint8_t kCR = 0x0D;
constexpr std::uint8_t kLF = 0x0A;

struct MeterFrame {
    std::array<std::uint8_t, kFrameBytes> bytes{};
    std::size_t size = 0;   // 12 or 13 from the serial assembler

    // Byte n counted from 1, as the frame layout numbers them.
    std::uint8_t byte(std::size_t n) const { return bytes[n - 1]; }
};

// The frame as upper-case hex digit pairs, the form shown in diagnostics.
std::string frameText(const MeterFrame& frame);

// True when the frame starts with '+' or '-' and has its CR at byte 13 or 12.
bool hasFrameShape(const std::uint8_t* bytes, std::size_t size);

}  // namespace meterlink
