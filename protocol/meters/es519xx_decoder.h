#pragma once
// The two Cyrustek families: ASCII bytes 0x30-0x3F at 19200 7O1, a range
// byte, the digits, a function byte, a status byte and option bytes, ended
// by CR LF. ES51922: five digits, 14 bytes (22000 counts). ES51986: four
// digits, 11 bytes (6000 counts), each conversion sent twice with no
// checksum, so a reading counts only when two copies in a row agree. The
// range byte picks unit and decimal mark from a table per function.
//
// Temperature digits are degrees Celsius whatever the meter's C/F choice
// (the judge bit) shows: the reading is logged in degrees Celsius, so value
// and unit always agree and stay exact to the digits sent.

#include "display_decoder.h"

#include <array>

namespace meterlink {

// One range: the unit text and where the decimal mark stands (0 none).
struct EsRange {
    const char* unit;
    std::uint8_t pointAfter;
};

// What a function byte means and its ranges by range index; a null unit
// marks an index the chip does not use.
struct EsFunction {
    std::uint8_t code;
    const char* function;     // "" for volts and amperes: AC or DC from the option bits
    bool current;
    std::array<EsRange, 8> ranges;
};

struct EsOption {
    std::uint8_t byte;        // index in the frame
    std::uint8_t mask;
    enum What : std::uint8_t { Hold, Max, Min, Rel, PeakMax, PeakMin, Dc, Ac, Auto, VaHz, Underflow, Apo, Vbar, Lpf, Zero } what;
};

struct EsLayout {
    std::size_t places;            // 5 or 4
    std::size_t frameBytes;        // with CR LF
    const EsFunction* functions;
    std::size_t functionCount;
    const EsOption* options;
    std::size_t optionCount;
    // Frequency ranges used when the V/A function shows Hz (VAHZ) and for
    // the frequency function itself; duty cycle's one range.
    const EsFunction* frequency;
    EsRange duty;
    // The automatic current positions read as high-current ranges while the
    // VBAR bit is set (clamp meters); null where the chip has no such bit.
    const EsFunction* vbarFunctions = nullptr;
    std::size_t vbarFunctionCount = 0;
    bool sentTwice = false;            // each conversion comes twice, no checksum
    std::int32_t frequencyCount = 0;   // largest frequency count shown; 0: the model's full scale
};

extern const EsLayout kEs51922Layout;
extern const EsLayout kEs51986Layout;

// Byte positions shared by both layouts.
constexpr std::size_t kEsRangeByte = 0;
constexpr std::size_t kEsFirstDigit = 1;
constexpr std::uint8_t kEsJudge = 8, kEsSign = 4, kEsBattery = 2, kEsOverload = 1;   // status byte

class Es519xxDecoder final : public DisplayDecoder {
public:
    Es519xxDecoder(const MeterModel& model, std::string_view sep, const EsLayout& layout);
    void feed(const std::uint8_t* data, std::size_t size) override;

private:
    bool decodeFrame();
    // False when the copy sent twice has not yet been seen twice in a row.
    bool secondCopy();
    const EsLayout& layout_;
    std::array<std::uint8_t, 16> frame_{};
    std::array<std::uint8_t, 16> firstCopy_{};
    bool haveFirstCopy_ = false;
    std::size_t have_ = 0;
};

}  // namespace meterlink
