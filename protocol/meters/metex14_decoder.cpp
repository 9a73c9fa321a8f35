#include "metex14_decoder.h"

#include <cctype>

namespace meterlink {

namespace {

// What a unit text on the wire stands for.
enum Quantity : std::uint8_t { Volt, Ampere, Ohm, Farad, Hertz, Celsius, None };
struct UnitRow {
    std::string_view wire;   // upper case, blanks stripped
    const char* unit;
    Quantity quantity;
    Lcd prefix;              // Lcd::Count for none
};
constexpr UnitRow kUnits[] = {
    {"V", "V", Volt, Lcd::Count},        {"MV", "mV", Volt, Lcd::Milli},
    {"A", "A", Ampere, Lcd::Count},      {"MA", "mA", Ampere, Lcd::Milli}, {"UA", "uA", Ampere, Lcd::Micro},
    {"OHM", "*", Ohm, Lcd::Count},       {"KOHM", "k*", Ohm, Lcd::Kilo},  {"MOHM", "M*", Ohm, Lcd::Mega},
    {"PF", "pF", Farad, Lcd::Count},     {"NF", "nF", Farad, Lcd::Nano},  {"UF", "uF", Farad, Lcd::Micro},
    {"KHZ", "kHz", Hertz, Lcd::Kilo},    {"C", "#", Celsius, Lcd::Count}, {"", "", None, Lcd::Count},
};
constexpr Lcd kQuantityLcd[] = {Lcd::V, Lcd::A, Lcd::Ohm, Lcd::F, Lcd::Hz, Lcd::CS, Lcd::Count};

// Mode letters: the function text and which unit it may carry. Blank mode
// takes its function from the unit.
struct ModeRow {
    char mode[2];
    const char* function;
    unsigned quantities;   // bit per Quantity
};
constexpr unsigned bit(Quantity q) { return 1u << q; }
constexpr ModeRow kModes[] = {
    {{'D', 'C'}, "DC", bit(Volt) | bit(Ampere)},
    {{'A', 'C'}, "AC", bit(Volt) | bit(Ampere)},
    {{'O', 'H'}, "OHM", bit(Ohm)},
    {{'D', 'I'}, "Diode", bit(Volt) | bit(None)},
    {{'F', 'R'}, "Freq", bit(Hertz)},
    {{'C', 'A'}, "CAP", bit(Farad)},
    {{'T', 'E'}, "TMP", bit(Celsius)},
    {{'H', 'F'}, "hFE", bit(None)},
};
constexpr const char* kBlankModeFunction[] = {"DC", "DC", "OHM", "CAP", "Freq", "TMP", "hFE"};

bool isOverload(std::string_view v) {
    // "OL", ".OL", "O.L", "OL.", each with an optional minus.
    if (!v.empty() && v[0] == '-') v.remove_prefix(1);
    return v == "OL" || v == ".OL" || v == "O.L" || v == "OL.";
}

}  // namespace

Metex14Decoder::Metex14Decoder(const MeterModel& model, std::string_view sep)
    : DisplayDecoder(model, sep, model.fullCount > 9999 ? 5 : 4) {}

void Metex14Decoder::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (have_ < kMetex14FrameBytes) frame_[have_] = b;
        ++have_;
        if (b == kCR) {
            if (have_ != kMetex14FrameBytes || !decodeFrame()) countRejected();
            have_ = 0;
        }
    }
}

bool Metex14Decoder::decodeFrame() {
    const std::uint8_t* f = frame_;
    for (std::size_t i = 0; i < kMetex14FrameBytes - 1; ++i)
        if (f[i] < 0x20 || f[i] > 0x7E) return false;

    // Unit: bytes 9-12, blanks stripped, any case.
    char unitText[4];
    std::size_t unitLen = 0;
    for (std::size_t i = 9; i < 13; ++i)
        if (f[i] != ' ') unitText[unitLen++] = static_cast<char>(std::toupper(f[i]));
    const UnitRow* unit = nullptr;
    for (const UnitRow& u : kUnits)
        if (u.wire == std::string_view(unitText, unitLen)) unit = &u;
    if (!unit) return false;

    const char m0 = static_cast<char>(f[0]), m1 = static_cast<char>(f[1]);
    const char* function = nullptr;
    if (m0 == ' ' && m1 == ' ') {
        function = kBlankModeFunction[unit->quantity];
        if (unit->quantity == Volt && unit->prefix == Lcd::Milli) function = "Diode";
    } else {
        for (const ModeRow& m : kModes)
            if (m.mode[0] == m0 && m.mode[1] == m1 && (m.quantities & bit(unit->quantity))) function = m.function;
    }
    if (!function) return false;

    // Value: bytes 2-8, blanks stripped.
    char value[7];
    std::size_t len = 0;
    for (std::size_t i = 2; i < 9; ++i)
        if (f[i] != ' ') value[len++] = static_cast<char>(f[i]);
    const std::string_view v(value, len);

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    const std::size_t places = d.lcd.places;
    if (isOverload(v)) {
        d.overload = true;
        d.negative = v[0] == '-';
    } else {
        std::size_t i = 0;
        if (i < len && (value[i] == '-' || value[i] == '+')) d.negative = value[i++] == '-';
        char digits[kMaxDigitPlaces];
        std::size_t n = 0, pointAfter = 0;
        for (; i < len; ++i) {
            if (value[i] == '.' && pointAfter == 0 && n > 0) pointAfter = n;
            else if (value[i] >= '0' && value[i] <= '9' && n < places) digits[n++] = value[i];
            else return false;
        }
        if (n == 0 || pointAfter == n) return false;
        // Right-aligned in the meter's places; leading places blank.
        const std::size_t lead = places - n;
        for (std::size_t p = 0; p < n; ++p) setPlace(d.lcd, lead + p + 1, digits[p]);
        d.pointAfter = pointAfter ? lead + pointAfter : 0;
    }
    d.function = function;
    d.unit = unit->unit;
    d.autoRange = false;   // the text does not say
    s.set(Lcd::AC, std::string_view(function) == "AC");
    s.set(Lcd::Dc1, std::string_view(function) == "DC");
    s.set(Lcd::DI, std::string_view(function) == "Diode");
    if (kQuantityLcd[unit->quantity] != Lcd::Count) s.set(kQuantityLcd[unit->quantity]);
    if (unit->prefix != Lcd::Count) s.set(unit->prefix);
    publish();
    return true;
}

}  // namespace meterlink
