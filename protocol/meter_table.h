#pragma once
// The meters MeterLink can read: one row a model, holding the chip protocol
// it speaks, its serial line settings, its full-scale count and, where it is
// sold with the "USB to Serial" HID cable, the baud that cable must be set to.
// The window's "Meter" menu, `meterlink-cli meters` and the README's list are
// all made from these rows; nothing else names a model.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {

// Fs9922 .. Es51986 stream their display unasked; UniTAbCd, Bm86x and
// FlukeQm answer only when asked (the link sends the model's request).
enum class MeterProtocol { Fs9922, Fs9721, Metex14, Es51922, Es51986, UniTAbCd, Bm86x, FlukeQm };

// How the meter reaches the PC. Serial covers RS-232, the IR-to-serial
// cables and `tcp://`; the others are USB HID cables, each with its own way
// of carrying the meter's bytes.
enum class Cable {
    Serial,
    UtD04,        // "USB to Serial" HID cable: the model's cableBaud
    UtD09,        // HID-to-UART bridge: CP2110 or CH9329
    Victor,       // HID cable that scrambles every report
    BrymenBu86x,  // HID cable asked for each reading
};
enum class Parity { None, Even, Odd };
// DTR or RTS while the port is open: driven low, driven high, or left as the
// system opened it.
enum class LineLevel { Low, High, AsIs };

struct LineSettings {
    int baud;
    int dataBits;
    Parity parity;
    int stopBits;
    LineLevel dtr;                 // High: optically isolated cables draw power from it
    LineLevel rts;
    std::string_view pollCommand;  // "" when the meter sends unasked
    int pollIntervalMs;            // how often pollCommand is sent; 0 when it is not
};

// What a maker gave the FS9721's four free LCD symbols to mean.
enum class UserSymbol : std::uint8_t { None, Celsius, Fahrenheit, Max, Min };
using UserSymbols = std::array<UserSymbol, 4>;   // symbol bits 0-3 of the last byte

// Per-model switches where one family's meters differ.
enum ModelSwitch : unsigned {
    // FS9922: the z1 bit (status byte 2, bit 7) lights the diode symbol with
    // volts, not a range flag.
    kZ1IsDiodeVolts = 1u << 0,
    // Metex: each answer is four lines, one per display; the first is the
    // main display.
    kFourDisplayLines = 1u << 1,
    // ES51922: the chip's VBAR pin is tied high, so its automatic uA and mA
    // positions are the 220 A and 22 A ranges of a clamp meter.
    kEsVbar = 1u << 2,
    // ES51986: the judge bit on the frequency function means revolutions per
    // minute, not a reading in hertz like any other.
    kEsJudgeBitIsRpm = 1u << 3,
    // Fluke QM: the answer repeats the command's name ("QM,+1.2345E+0 VDC")
    // instead of the four fields value, unit, state, attribute.
    kQmAnswerNamesCommand = 1u << 4,
};

struct MeterModel {
    std::string_view maker;        // "" for the shipped profile
    std::string_view model;
    MeterProtocol protocol;
    LineSettings line;
    int fullCount;
    int cableBaud;                 // 0: not sold with the "USB to Serial" cable
    std::string_view source;       // where the model's protocol and settings are documented
    UserSymbols userSymbols{};     // FS9721 only
    unsigned switches = 0;         // ModelSwitch bits
    Cable cable = Cable::Serial;   // UtD04 rows also set cableBaud
    bool has(ModelSwitch s) const { return (switches & s) != 0; }
};

// Rows in menu order (by maker); the first is the shipped default.
const std::vector<MeterModel>& meterTable();
const MeterModel& defaultMeter();
// "MAKER MODEL" or MODEL alone, case-insensitive; blanks and '-' are
// ignored, so "ut61e", "UNI-T UT61E" and "UNI-T UT-61E" find the same row.
// nullptr when no row matches.
const MeterModel* findMeter(std::string_view name);
// "MAKER MODEL", or MODEL alone when the maker is empty.
std::string meterName(const MeterModel& m);

// "FS9922", "FS9721", "Metex 14-byte", "ES51922", "ES51986", "UNI-T AB CD",
// "BM86x", "Fluke QM".
std::string_view protocolName(MeterProtocol p);
// "2400 8N1", "1200 7N2", "19200 7O1".
std::string lineText(const LineSettings& line);
// The cable as `meters` and the README name it: "-", "UT-D04", "UT-D09",
// "Victor USB", "BU-86X".
std::string_view cableName(Cable c);

}  // namespace meterlink
