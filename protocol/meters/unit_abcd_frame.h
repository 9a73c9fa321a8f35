#pragma once
// The UNI-T AB CD frame, as the UT61E+ family and its kin put it on the wire
// (9600 8N1 behind the UT-D09 bridge cable), both ways:
//
//   AB CD  n  payload (n - 2 bytes)  sum-high sum-low
//
// n counts the bytes after itself, the two sum bytes included; the sum is
// the 16-bit sum of every byte before it, AB CD and n too, high byte first.
// The PC sends a one-byte payload (the request or a button); the meter
// answers the measurement request with a 14-byte payload (n = 0x10):
//
//   [3]  mode (see unit_abcd_tables.h)
//   [4]  range, '0' + index
//   [5]  the display: seven characters as the LCD shows them (" 1.2345",
//        "-0.0123", "  OL.  ")
//   [12] [13]  bar graph
//   [14] 0x30 | MAX 8 | MIN 4 | HOLD 2 | REL 1
//   [15] 0x30 | manual range 4 | low battery 2 | high-voltage warning 1
//   [16] 0x30 | DC 8 | peak max 4 | peak min 2 | bar graph negative 1
// Plain C++, no allocation.

#include <array>
#include <cstddef>
#include <cstdint>

namespace meterlink {

constexpr std::uint8_t kAbCdFirst = 0xAB;
constexpr std::uint8_t kAbCdSecond = 0xCD;
constexpr std::size_t kAbCdHeaderBytes = 3;       // AB CD n
constexpr std::size_t kAbCdAnswerBytes = 19;      // a measurement answer, whole
constexpr std::uint8_t kAbCdAnswerLength = 0x10;  // its n
// No frame of the family is longer; a longer n is a misread length byte.
constexpr std::size_t kAbCdMaxFrameBytes = 64;
constexpr std::size_t kAbCdDisplayChars = 7;

// Offsets in a measurement answer.
enum AbCdAnswerByte : std::size_t {
    kAbCdMode = 3,
    kAbCdRange = 4,
    kAbCdDisplay = 5,
    kAbCdBarHigh = 12,
    kAbCdBarLow = 13,
    kAbCdFlags1 = 14,
    kAbCdFlags2 = 15,
    kAbCdFlags3 = 16,
    kAbCdSumHigh = 17,
};

// Flag bits, by flag byte.
constexpr std::uint8_t kAbCdMax = 0x08, kAbCdMin = 0x04, kAbCdHold = 0x02, kAbCdRel = 0x01;
constexpr std::uint8_t kAbCdManual = 0x04, kAbCdLowBattery = 0x02, kAbCdHighVoltage = 0x01;
constexpr std::uint8_t kAbCdDc = 0x08, kAbCdPeakMax = 0x04, kAbCdPeakMin = 0x02, kAbCdBarNegative = 0x01;
constexpr std::uint8_t kAbCdFlagBase = 0x30;

// The 16-bit sum of size bytes.
inline std::uint16_t abCdSum(const std::uint8_t* data, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

// Writes the sum after the first size - 2 bytes of a frame.
inline void sealAbCdFrame(std::uint8_t* frame, std::size_t size) {
    const std::uint16_t sum = abCdSum(frame, size - 2);
    frame[size - 2] = static_cast<std::uint8_t>(sum >> 8);
    frame[size - 1] = static_cast<std::uint8_t>(sum & 0xFF);
}

// True when a whole frame's sum matches.
inline bool abCdSumMatches(const std::uint8_t* frame, std::size_t size) {
    if (size < kAbCdHeaderBytes + 2) return false;
    const std::uint16_t sum = abCdSum(frame, size - 2);
    return frame[size - 2] == (sum >> 8) && frame[size - 1] == (sum & 0xFF);
}

}  // namespace meterlink
