#include "frame_check.h"

#include "status_bits.h"

namespace meterlink {

namespace {

// What a status bit says about the measured quantity, as a set of the
// quantities it belongs to.
enum Quantity : std::uint8_t {
    Volts = 1, Amperes = 2, Ohms = 4, Farads = 8, Degrees = 16, Hertz = 32,
};

struct BitMeaning {
    std::uint8_t byte;
    std::uint8_t mask;
    std::uint8_t quantity;   // the quantity this bit names, 0 for none
    std::uint8_t prefixOf;   // for a prefix: the quantities it may stand before
};

// Duty cycle is read on the frequency range; continuity on the ohm range;
// the diode test shows volts; AC and DC qualify volts and amperes only.
constexpr BitMeaning kMeanings[] = {
    {8, 0x10, 0, 0},       {8, 0x08, 0, 0},
    {10, 0x04, Volts, 0},  {10, 0x08, Ohms, 0},    {10, 0x02, Hertz, 0},
    {11, 0x80, Volts, 0},  {11, 0x40, Amperes, 0}, {11, 0x20, Ohms, 0},
    {11, 0x08, Hertz, 0},  {11, 0x04, Farads, 0},  {11, 0x02, Degrees, 0}, {11, 0x01, Degrees, 0},
    {9, 0x02, 0, Volts | Amperes | Farads},   // nano
    {10, 0x80, 0, Volts | Amperes | Farads},  // micro
    {10, 0x40, 0, Volts | Amperes | Farads},  // milli
    {10, 0x20, 0, Ohms | Hertz},              // kilo
    {10, 0x10, 0, Ohms | Hertz},              // mega
};

constexpr std::uint8_t kAcDc[] = {0x10, 0x08};   // byte 8

// The most a frequency reading shows; every other reading stays within the
// meter's full count.
constexpr std::int32_t kFrequencyCount = 9999;

constexpr std::uint8_t kDutyByte = 10, kDutyMask = 0x02;

// 100 % in counts at a point code: 100.0 with the mark after the third
// digit, 10.00 cannot show it, and so on.
std::int32_t hundredPercent(std::uint8_t pointCode) {
    switch (pointCode) {
    case '1': return 100000;   // x.xxx
    case '2': return 10000;    // xx.xx
    case '4': return 1000;     // xxx.x
    default: return 100;       // xxxx
    }
}

bool isDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

bool set(const MeterFrame& f, std::uint8_t byte, std::uint8_t mask) { return (f.byte(byte) & mask) != 0; }

int bitCount(std::uint8_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

}  // namespace

bool frameIsPlausible(const MeterFrame& f, std::int32_t fullCount) {
    if (!isDigit(f.byte(7))) return false;
    const bool overload = f.byte(2) == '?' && f.byte(3) == '0' && f.byte(4) == ':' && f.byte(5) == '?';
    std::int32_t count = 0;
    if (!overload) {
        for (std::size_t b = 2; b <= 5; ++b) {
            if (!isDigit(f.byte(b))) return false;
            count = count * 10 + (f.byte(b) - '0');
        }
    }

    std::uint8_t quantities = 0;
    std::uint8_t prefixes = 0xFF;
    int prefixCount = 0;
    for (const BitMeaning& m : kMeanings) {
        if (!set(f, m.byte, m.mask)) continue;
        quantities |= m.quantity;
        if (m.prefixOf) {
            prefixes &= m.prefixOf;
            ++prefixCount;
        }
    }
    // One quantity at a time: no duty cycle in amperes, no frequency in ohms.
    if (bitCount(quantities) > 1) return false;
    // A display lights one prefix at most, and only before a unit that takes it.
    if (prefixCount > 1) return false;
    if (prefixCount == 1 && (quantities & prefixes) == 0) return false;
    // AC and DC qualify volts and amperes, and never stand alone.
    for (std::uint8_t mask : kAcDc)
        if (set(f, 8, mask) && (quantities & (Volts | Amperes)) == 0) return false;
    if (overload) return true;
    if (count > (quantities == Hertz ? kFrequencyCount : fullCount)) return false;
    // A frequency or a duty cycle is never below zero; a resistance or a
    // capacitance only relative to a stored one.
    const bool negative = f.byte(1) == '-';
    const bool counted = set(f, 11, 0x08) || set(f, kDutyByte, kDutyMask);
    const bool relative = set(f, 8, 0x04);
    if (negative && (counted || (!relative && (quantities & (Ohms | Farads)) != 0))) return false;
    // A duty cycle ends at 100 %.
    if (set(f, kDutyByte, kDutyMask) && count > hundredPercent(f.byte(7))) return false;
    return true;
}

}  // namespace meterlink
