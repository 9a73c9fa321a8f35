#pragma once
// What the meter's LCD shows after a frame: every annunciator as a flag, the
// four digit places, the decimal marks and the minus sign.

#include <array>
#include <bitset>
#include <cstddef>

namespace meterlink {

// Indicator names follow the LCD panel's controls.
enum class Lcd : std::size_t {
    Dc1,    // "DC"
    AC,     // "AC"
    Auto,   // "Auto range"
    REL,    // relative (delta)
    Hold,
    Max,
    Min,
    Batt,   // low battery
    Nano,
    Micro,
    Milli,
    Kilo,
    Mega,
    Fm,     // continuity beep
    DI,     // diode
    BF,     // duty cycle "%"
    V,
    A,
    Ohm,
    Hz,
    F,
    CS,     // degrees Celsius
    FS,     // degrees Fahrenheit
    FH,     // minus sign
    P1,     // decimal mark after the first digit
    P2,
    P3,
    Send,   // "data received" picture; stays on from the first frame
    Count
};

constexpr std::size_t kLcdIndicatorCount = static_cast<std::size_t>(Lcd::Count);

struct LcdState {
    std::bitset<kLcdIndicatorCount> on;
    // Digit places left to right: '0'-'9', '@' (the overload letter) or '\0' for blank.
    std::array<char, 4> digits{};

    bool shown(Lcd i) const { return on.test(static_cast<std::size_t>(i)); }
    void set(Lcd i, bool value = true) { on.set(static_cast<std::size_t>(i), value); }

    // The look before any frame: minus sign and 5999, nothing else.
    static LcdState initial(char firstDigit = '5');
};

inline LcdState LcdState::initial(char firstDigit) {
    LcdState s;
    s.set(Lcd::FH);
    s.digits = {firstDigit, '9', '9', '9'};
    return s;
}

}  // namespace meterlink
