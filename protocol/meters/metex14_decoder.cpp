#include "metex14_decoder.h"

#include <cctype>

namespace meterlink {

namespace {

// What a unit text on the wire stands for.
enum Quantity : std::uint8_t { Volt, Ampere, Ohm, Farad, Hertz, Celsius, Fahrenheit, Decibel, Watt, None };
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
    {"HZ", "Hz", Hertz, Lcd::Count},     {"KHZ", "kHz", Hertz, Lcd::Kilo}, {"MHZ", "MHz", Hertz, Lcd::Mega},
    {"C", "#", Celsius, Lcd::Count},     {"F", "?", Fahrenheit, Lcd::Count},
    {"DB", "dB", Decibel, Lcd::Count},   {"DBM", "dBm", Decibel, Lcd::Count},
    {"W", "W", Watt, Lcd::Count},        {"", "", None, Lcd::Count},
};
constexpr Lcd kQuantityLcd[] = {Lcd::V, Lcd::A, Lcd::Ohm, Lcd::F, Lcd::Hz, Lcd::CS, Lcd::FS,
                                Lcd::Count, Lcd::Count, Lcd::Count};

// Mode letters: the function text and which unit it may carry. Blank mode
// takes its function from the unit; so do the minimum, maximum and average
// modes, which show a stored reading of the function the switch is on.
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
    {{'T', 'E'}, "TMP", bit(Celsius) | bit(Fahrenheit)},
    {{'H', 'F'}, "hFE", bit(None)},
    {{'D', 'B'}, "dB", bit(Decibel)},
    {{'W', ' '}, "Power", bit(Watt)},
    {{'C', 'O'}, "CTN", bit(Ohm) | bit(None)},
};
constexpr const char* kBlankModeFunction[] = {"DC", "DC", "OHM", "CAP", "Freq", "TMP", "TMP", "dB", "Power", "hFE"};

// Stored-reading modes: which annunciator they light (Lcd::Count: none the
// shipped LCD has).
struct StoredMode {
    char mode[2];
    Lcd lcd;
};
constexpr StoredMode kStoredModes[] = {
    {{'M', 'N'}, Lcd::Min}, {{'M', 'X'}, Lcd::Max}, {{'A', 'G'}, Lcd::Count},
};

// The logic probe shows a word and no number.
constexpr const char* kLogicWords[] = {"READY", "FLOAT", "Hi", "Lo"};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isOverload(std::string_view v) {
    // "OL", ".OL", "O.L", "OL.", in either case, each with an optional minus.
    if (!v.empty() && v[0] == '-') v.remove_prefix(1);
    for (std::string_view form : {"OL", ".OL", "O.L", "OL."})
        if (sameLetters(v, form)) return true;
    return false;
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
            if (have_ != kMetex14FrameBytes || !decodeFrame()) {
                countRejected();
                // A spoilt line leaves the place in a four-line answer
                // unknown; the next line is taken as a main display again.
                line_ = 0;
            }
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
    Lcd stored = Lcd::Count;
    bool storedMode = false;
    for (const StoredMode& m : kStoredModes)
        if (m.mode[0] == m0 && m.mode[1] == m1) {
            storedMode = true;
            stored = m.lcd;
        }
    if ((m0 == ' ' && m1 == ' ') || storedMode) {
        function = kBlankModeFunction[unit->quantity];
        if (unit->quantity == Volt && unit->prefix == Lcd::Milli && !storedMode) function = "Diode";
    } else {
        for (const ModeRow& m : kModes)
            if (m.mode[0] == m0 && m.mode[1] == m1 && (m.quantities & bit(unit->quantity))) function = m.function;
    }

    // Value: bytes 2-8, blanks stripped.
    char value[7];
    std::size_t len = 0;
    for (std::size_t i = 2; i < 9; ++i)
        if (f[i] != ' ') value[len++] = static_cast<char>(f[i]);
    const std::string_view v(value, len);

    // The logic probe: a word in the logic mode (or the blank one), no unit.
    const char* word = nullptr;
    if (unit->quantity == None && ((m0 == 'L' && m1 == 'O') || (m0 == ' ' && m1 == ' ')))
        for (const char* w : kLogicWords)
            if (sameLetters(v, w)) word = w;
    if (word) function = "Logic";
    if (!function) return false;

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    const std::size_t places = d.lcd.places;
    if (word) {
        d.word = word;
    } else if (isOverload(v)) {
        d.overload = true;
        d.negative = v[0] == '-';
    } else {
        std::size_t i = 0;
        if (i < len && (value[i] == '-' || value[i] == '+')) d.negative = value[i++] == '-';
        char digits[kMaxDigitPlaces];
        std::size_t n = 0, pointAfter = 0;
        long count = 0;
        for (; i < len; ++i) {
            if (value[i] == '.' && pointAfter == 0 && n > 0) pointAfter = n;
            else if (value[i] >= '0' && value[i] <= '9' && n < places) {
                digits[n++] = value[i];
                count = count * 10 + (value[i] - '0');
            } else return false;
        }
        if (n == 0 || pointAfter == n) return false;
        // What the meter cannot show: more than its count (the frequency
        // counter uses every place), a frequency or a capacitance below zero.
        const long placesFull = places == 5 ? 99999 : 9999;
        if (count > (unit->quantity == Hertz ? placesFull : model().fullCount)) return false;
        if (d.negative && (unit->quantity == Hertz || unit->quantity == Farad)) return false;
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
    s.set(Lcd::Fm, std::string_view(function) == "CTN");
    if (stored != Lcd::Count) s.set(stored);
    if (kQuantityLcd[unit->quantity] != Lcd::Count) s.set(kQuantityLcd[unit->quantity]);
    if (unit->prefix != Lcd::Count) s.set(unit->prefix);
    // A meter with four displays answers with a line for each; the first is
    // the main display, which is the reading.
    if (model().has(kFourDisplayLines)) {
        const bool main = line_ == 0;
        line_ = (line_ + 1) % 4;
        if (!main) return true;
    }
    publish();
    return true;
}

}  // namespace meterlink
