#pragma once
// What the mode and range bytes of an AB CD answer mean: per mode the
// function, its LCD symbols and the unit of each range. The display carries
// the digits and the decimal mark itself; the range only says the unit.
// The 22000-count meters (UT61E+, UT161E) and the 6000-count ones (UT61B+,
// UT61D+, UT161B, UT161D) share the modes and differ in how many ranges
// each has.

#include "lcd_state.h"

#include <cstddef>
#include <cstdint>

namespace meterlink {

constexpr std::size_t kAbCdMaxRanges = 8;

struct AbCdMode {
    std::uint8_t code;
    const char* function;        // the reading's FunctionText
    Lcd quantity;                // V, A, Ohm, Hz, F, CS, FS, BF; Count for none
    Lcd kind;                    // AC, Dc1, Fm, DI; Count for none
    std::uint8_t ranges22000;    // ranges of a 22000-count meter
    std::uint8_t ranges6000;     // ranges of a 6000-count meter
    const char* units[kAbCdMaxRanges];   // by range: the reading's UnitText
};

// The mode with this code; nullptr for one the family does not send.
const AbCdMode* abCdMode(std::uint8_t code);
// The ranges the model's meters have in this mode.
std::size_t abCdRangeCount(const AbCdMode& mode, int fullCount);
// The LCD prefix a unit text carries (Milli for "mA"); Lcd::Count for none.
Lcd abCdPrefix(const char* unit);
// All modes, for the simulator and the encoder.
const AbCdMode* abCdModes(std::size_t& count);

}  // namespace meterlink
