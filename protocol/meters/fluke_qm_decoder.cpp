#include "fluke_qm_decoder.h"

#include "meter_frame.h"

#include <cctype>

namespace meterlink {

namespace {

// Unit prefixes by power of ten / 3, from nano to mega.
constexpr int kLowestPower = -9;
constexpr std::size_t kPrefixCount = 6;
constexpr Lcd kPrefixLcd[kPrefixCount] = {Lcd::Nano, Lcd::Micro, Lcd::Milli, Lcd::Count, Lcd::Kilo, Lcd::Mega};

// A unit on the wire: the function it stands for, what it lights, and the
// unit texts by prefix (nullptr: the meter has no such range, so the
// nearest it has is used).
struct UnitRow {
    std::string_view wire;
    const char* function;
    Lcd quantity;   // Lcd::Count: none on the LCD
    bool ac, dc;
    const char* units[kPrefixCount];   // n u m - k M
};
constexpr UnitRow kUnits[] = {
    {"VDC", "DC", Lcd::V, false, true, {nullptr, nullptr, "mV", "V", nullptr, nullptr}},
    {"VAC", "AC", Lcd::V, true, false, {nullptr, nullptr, "mV", "V", nullptr, nullptr}},
    {"VAC_PLUS_DC", "AC+DC", Lcd::V, true, true, {nullptr, nullptr, "mV", "V", nullptr, nullptr}},
    {"V", "", Lcd::V, false, false, {nullptr, nullptr, "mV", "V", nullptr, nullptr}},
    {"ADC", "DC", Lcd::A, false, true, {nullptr, "uA", "mA", "A", nullptr, nullptr}},
    {"AAC", "AC", Lcd::A, true, false, {nullptr, "uA", "mA", "A", nullptr, nullptr}},
    {"AAC_PLUS_DC", "AC+DC", Lcd::A, true, true, {nullptr, "uA", "mA", "A", nullptr, nullptr}},
    {"A", "", Lcd::A, false, false, {nullptr, "uA", "mA", "A", nullptr, nullptr}},
    {"OHM", "OHM", Lcd::Ohm, false, false, {nullptr, nullptr, nullptr, "*", "k*", "M*"}},
    {"OHMS", "OHM", Lcd::Ohm, false, false, {nullptr, nullptr, nullptr, "*", "k*", "M*"}},
    {"SIEMENS", "", Lcd::Count, false, false, {"nS", "uS", "mS", "S", nullptr, nullptr}},
    {"HZ", "Freq", Lcd::Hz, false, false, {nullptr, nullptr, nullptr, "Hz", "kHz", "MHz"}},
    {"S", "", Lcd::Count, false, false, {nullptr, "us", "ms", "s", nullptr, nullptr}},
    {"F", "CAP", Lcd::F, false, false, {"nF", "uF", "mF", nullptr, nullptr, nullptr}},
    {"CEL", "TMP", Lcd::CS, false, false, {nullptr, nullptr, nullptr, "#", nullptr, nullptr}},
    {"FAR", "TMP", Lcd::FS, false, false, {nullptr, nullptr, nullptr, "?", nullptr, nullptr}},
    {"PCT", "DutyCycle", Lcd::BF, false, false, {nullptr, nullptr, nullptr, "%", nullptr, nullptr}},
    {"DB", "dB", Lcd::Count, false, false, {nullptr, nullptr, nullptr, "dB", nullptr, nullptr}},
    {"DBV", "dB", Lcd::Count, false, false, {nullptr, nullptr, nullptr, "dBV", nullptr, nullptr}},
    {"DBM", "dB", Lcd::Count, false, false, {nullptr, nullptr, nullptr, "dBm", nullptr, nullptr}},
    {"CREST_FACTOR", "", Lcd::Count, false, false, {nullptr, nullptr, nullptr, "", nullptr, nullptr}},
};

// What the state field says of the value.
enum class State { Normal, Overload, OverloadMinus, NoNumber };
struct StateRow {
    std::string_view wire;
    State state;
};
constexpr StateRow kStates[] = {
    {"NORMAL", State::Normal},     {"OL", State::Overload},   {"OL_MINUS", State::OverloadMinus},
    {"OPEN_TC", State::Overload},  // an open thermocouple reads as off the scale
    {"BLANK", State::NoNumber},    {"INACTIVE", State::NoNumber},
    {"INVALID", State::NoNumber},  {"DISCHARGE", State::NoNumber},
};

// Attributes that name the function the unit alone does not tell.
struct AttributeRow {
    std::string_view wire;
    const char* function;   // nullptr: the unit's
    Lcd lights;             // Lcd::Count: nothing
};
constexpr AttributeRow kAttributes[] = {
    {"NONE", nullptr, Lcd::Count},
    {"OPEN_CIRCUIT", "CTN", Lcd::Fm},
    {"SHORT_CIRCUIT", "CTN", Lcd::Fm},
    {"GLITCH_CIRCUIT", "CTN", Lcd::Fm},
    {"GOOD_DIODE", "Diode", Lcd::DI},
    {"LO_OHMS", nullptr, Lcd::Count},
    {"NEGATIVE_EDGE", nullptr, Lcd::Count},
    {"POSITIVE_EDGE", nullptr, Lcd::Count},
    {"HIGH_CURRENT", nullptr, Lcd::Count},
};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool startsWith(std::string_view s, std::string_view head) {
    return s.size() >= head.size() && sameLetters(s.substr(0, head.size()), head);
}

// The unit row and the power of ten a prefix in front of it stands for
// ("mVDC": VDC, -3). The 28x sends bare units; the prefix form is taken too.
const UnitRow* findUnit(std::string_view wire, int& power) {
    power = 0;
    for (const UnitRow& u : kUnits)
        if (sameLetters(wire, u.wire)) return &u;
    if (wire.size() < 2) return nullptr;
    static constexpr struct { char letter; int power; } kPrefixes[] = {
        {'n', -9}, {'u', -6}, {'m', -3}, {'k', 3}, {'M', 6}};
    for (const auto& p : kPrefixes)
        if (wire[0] == p.letter)
            for (const UnitRow& u : kUnits)
                if (sameLetters(wire.substr(1), u.wire)) {
                    power = p.power;
                    return &u;
                }
    return nullptr;
}

// "+1.2345E-1" without the locale: sign, up to kMaxDigits digits with at
// most one point, an optional exponent of up to three digits.
constexpr std::size_t kMaxDigits = 12;
struct Number {
    bool negative = false;
    char digits[kMaxDigits];
    std::size_t count = 0;
    std::size_t beforePoint = 0;
    int exponent = 0;
};

bool parseNumber(std::string_view s, Number& n) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) n.negative = s[i++] == '-';
    bool point = false;
    for (; i < s.size() && s[i] != 'E' && s[i] != 'e'; ++i) {
        if (s[i] == '.' && !point) {
            point = true;
            n.beforePoint = n.count;
        } else if (s[i] >= '0' && s[i] <= '9' && n.count < kMaxDigits) {
            n.digits[n.count++] = s[i];
        } else {
            return false;
        }
    }
    if (n.count == 0) return false;
    if (!point) n.beforePoint = n.count;
    if (i == s.size()) return true;
    ++i;   // the 'E'
    bool negativeExponent = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
    if (i == s.size() || s.size() - i > 3) return false;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        n.exponent = n.exponent * 10 + (s[i] - '0');
    }
    if (negativeExponent) n.exponent = -n.exponent;
    return true;
}

int floorDiv3(int v) { return v >= 0 ? v / 3 : -((-v + 2) / 3); }

}  // namespace

FlukeQmDecoder::FlukeQmDecoder(const MeterModel& model, std::string_view sep)
    : DisplayDecoder(model, sep, model.fullCount > 9999 ? 5 : 4) {}

void FlukeQmDecoder::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b == kLF) continue;   // a terminal-style CR LF ending
        if (b == kCR) {
            if (overlong_ || (have_ > 0 && !decodeLine(line_, have_))) countRejected();
            have_ = 0;
            overlong_ = false;
            continue;
        }
        // A byte no answer holds (line noise, a cable plugged in mid-line)
        // spoils the line; the next CR starts afresh.
        if (b < 0x20 || b > 0x7E || have_ == kFlukeMaxLine) {
            overlong_ = true;
            continue;
        }
        line_[have_++] = static_cast<char>(b);
    }
}

bool FlukeQmDecoder::decodeLine(const char* text, std::size_t size) {
    std::string_view line(text, size);
    // The acknowledgement: "0" announces the answer, anything else says the
    // request was refused (and no answer follows).
    if (size == 1 && line[0] >= '0' && line[0] <= '9') {
        if (line[0] == '0') return true;
        ++refused_;
        return false;
    }
    if (startsWith(line, "ID,")) line.remove_prefix(3);
    if (startsWith(line, "FLUKE")) {
        idLen_ = line.size() < kFlukeMaxIdentification ? line.size() : kFlukeMaxIdentification;
        for (std::size_t i = 0; i < idLen_; ++i) id_[i] = line[i];
        return true;
    }
    if (startsWith(line, "QM,")) {
        // 18x: "QM,VALUE UNIT"; the unit may hold blanks ("V DC").
        line.remove_prefix(3);
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) return false;
        char unit[16];
        std::size_t unitLen = 0;
        for (char c : line.substr(blank + 1))
            if (c != ' ') {
                if (unitLen == sizeof unit) return false;
                unit[unitLen++] = c;
            }
        return decodeMeasurement(line.substr(0, blank), {unit, unitLen}, "NORMAL", "NONE");
    }
    // 28x: four comma-separated fields.
    std::string_view field[4];
    std::size_t fields = 0;
    while (fields < 4) {
        const std::size_t comma = line.find(',');
        field[fields++] = line.substr(0, comma);
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
        if (fields == 4) return false;   // a fifth field
    }
    if (fields != 4) return false;
    return decodeMeasurement(field[0], field[1], field[2], field[3]);
}

bool FlukeQmDecoder::decodeMeasurement(std::string_view value, std::string_view unitText, std::string_view stateText,
                                       std::string_view attributeText) {
    int unitPower = 0;
    const UnitRow* unit = findUnit(unitText, unitPower);
    if (!unit) return false;
    const StateRow* state = nullptr;
    for (const StateRow& s : kStates)
        if (sameLetters(stateText, s.wire)) state = &s;
    if (!state) return false;
    const AttributeRow* attribute = nullptr;
    for (const AttributeRow& a : kAttributes)
        if (sameLetters(attributeText, a.wire)) attribute = &a;
    if (!attribute) {
        // An attribute a later firmware added: the reading stands without it.
        if (attributeText.empty()) return false;
        for (char c : attributeText)
            if (!((c >= 'A' && c <= 'Z') || c == '_')) return false;
        attribute = &kAttributes[0];
    }

    // The value must be a number even where the state makes it unused.
    Number n;
    const bool overloadWord = sameLetters(value, "OL") || sameLetters(value, "-OL") || sameLetters(value, "+OL");
    if (!overloadWord && !parseNumber(value, n)) return false;
    if (state->state == State::NoNumber) {
        ++blank_;
        return true;
    }
    const int power = n.exponent + unitPower;
    // The 28x sends 9.99999999E+37 for a value off the scale.
    const bool offScale = !overloadWord && static_cast<int>(n.beforePoint) - 1 + power >= 30;

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    const std::size_t places = d.lcd.places;
    const char* function = attribute->function ? attribute->function : unit->function;
    // The prefix that shows the value's leading digit in the units place or
    // the two after it, as near as the unit has.
    int prefix = floorDiv3(static_cast<int>(n.beforePoint) - 1 + power) * 3;
    if (prefix < kLowestPower) prefix = kLowestPower;
    if (prefix > kLowestPower + 3 * static_cast<int>(kPrefixCount - 1)) prefix = kLowestPower + 3 * 5;
    std::size_t at = static_cast<std::size_t>((prefix - kLowestPower) / 3);
    if (!unit->units[at]) {
        std::size_t best = kPrefixCount;
        for (std::size_t i = 0; i < kPrefixCount; ++i)
            if (unit->units[i] && (best == kPrefixCount || (i > at ? i - at : at - i) < (best > at ? best - at : at - best)))
                best = i;
        at = best;
        prefix = kLowestPower + 3 * static_cast<int>(at);
    }

    if (overloadWord || offScale || state->state != State::Normal) {
        d.overload = true;
        d.negative = state->state == State::OverloadMinus || (overloadWord && value[0] == '-') ||
                     (offScale && n.negative);
    } else {
        // Digits as shown at that prefix: decimals = places after the mark.
        char shown[kMaxDigits * 3];
        std::size_t count = 0;
        for (std::size_t i = 0; i < n.count; ++i) shown[count++] = n.digits[i];
        int decimals = prefix - (static_cast<int>(n.beforePoint) - static_cast<int>(n.count) + power);
        if (decimals < 0) {
            if (count + static_cast<std::size_t>(-decimals) > places) return false;
            while (decimals < 0) {
                shown[count++] = '0';
                ++decimals;
            }
        }
        const std::size_t wantedLead = static_cast<std::size_t>(decimals) + 1;
        if (count < wantedLead) {
            if (wantedLead > sizeof shown) return false;
            const std::size_t pad = wantedLead - count;
            for (std::size_t i = count; i-- > 0;) shown[i + pad] = shown[i];
            for (std::size_t i = 0; i < pad; ++i) shown[i] = '0';
            count = wantedLead;
        }
        // Leading zeros before the mark beyond the first carry nothing.
        std::size_t first = 0;
        while (count - first > static_cast<std::size_t>(decimals) + 1 && shown[first] == '0') ++first;
        // Digits beyond the display's places are finer than the meter shows.
        while (count - first > places && decimals > 0) {
            --count;
            --decimals;
        }
        if (count - first > places) return false;
        const std::size_t digits = count - first;
        const std::size_t lead = places - digits;
        for (std::size_t p = 0; p < digits; ++p) setPlace(d.lcd, lead + p + 1, shown[first + p]);
        d.pointAfter = decimals > 0 ? lead + digits - static_cast<std::size_t>(decimals) : 0;
        d.negative = n.negative;
    }
    d.function = function;
    d.unit = unit->units[at];
    d.autoRange = false;   // the answer does not say
    const bool diode = attribute->lights == Lcd::DI;
    s.set(Lcd::AC, unit->ac);
    s.set(Lcd::Dc1, unit->dc && !diode);
    if (attribute->lights != Lcd::Count) s.set(attribute->lights);
    if (unit->quantity != Lcd::Count) s.set(unit->quantity);
    if (kPrefixLcd[at] != Lcd::Count) s.set(kPrefixLcd[at]);
    publish();
    return true;
}

}  // namespace meterlink
