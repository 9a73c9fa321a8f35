#pragma once
// Builds the bytes a meter sends for a reading: for tests, the fuzzer's seeds
// and the meter simulator.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace meterlink {

// The 14 bytes on the wire: sign, four digits, a blank, the decimal-point
// code, four status bytes, one unread byte, CR, LF.
constexpr std::size_t kWireFrameBytes = 14;
using WireFrame = std::array<std::uint8_t, kWireFrameBytes>;

struct FrameFields {
    char sign = '+';
    std::array<char, 4> digits{'0', '0', '0', '0'};
    char point = '0';                     // '0' none, '1', '2', '4' after digit 1, 2, 3
    std::array<std::uint8_t, 4> status{}; // bytes 8-11
};

WireFrame encodeFrame(const FrameFields& fields);

enum class MeterFunction { DCV, ACV, DCA, ACA, Ohm, Continuity, Diode, Capacitance, TempC, TempF, Frequency, DutyCycle };
enum class UnitPrefix { None, Nano, Micro, Milli, Kilo, Mega };

// A reading as a user would describe it.
struct DisplaySpec {
    MeterFunction function = MeterFunction::DCV;
    UnitPrefix prefix = UnitPrefix::None;
    int count = 0;          // -9999 .. 9999, the digits as shown
    int pointAfter = 0;     // decimal mark after digit 1, 2 or 3; 0 none
    bool autoRange = true;
    bool hold = false;
    bool relative = false;
    bool maximum = false;
    bool minimum = false;
    bool lowBattery = false;
    bool overload = false;  // "0L" with the sign of count
};

FrameFields fieldsFor(const DisplaySpec& spec);

// Parses one scenario line such as "DCV m 1234 3 auto hold" (see the meter
// simulator's help). Returns false with a message on a malformed line.
bool parseDisplaySpec(const std::string& line, DisplaySpec& spec, std::string& error);

}  // namespace meterlink
