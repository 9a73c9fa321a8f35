#include "family_frame_builder.h"

#include "es519xx_decoder.h"
#include "fs9721_decoder.h"
#include "fs9922_decoder.h"
#include "metex14_decoder.h"
#include "unit_abcd_frame.h"
#include "unit_abcd_tables.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace meterlink {

namespace {

using F = MeterFunction;
using Pre = UnitPrefix;

// Unit texts by function and prefix (none, nano, micro, milli, kilo, mega);
// nullptr where no meter shows that combination.
struct UnitTexts {
    F function;
    const char* function_text;
    const char* units[6];
};
constexpr UnitTexts kTexts[] = {
    {F::DCV, "DC", {"V", "nV", "uV", "mV", nullptr, nullptr}},
    {F::ACV, "AC", {"V", "nV", "uV", "mV", nullptr, nullptr}},
    {F::DCA, "DC", {"A", "nA", "uA", "mA", nullptr, nullptr}},
    {F::ACA, "AC", {"A", "nA", "uA", "mA", nullptr, nullptr}},
    {F::Ohm, "OHM", {"*", nullptr, nullptr, nullptr, "k*", "M*"}},
    {F::Continuity, "CTN", {"*", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {F::Diode, "Diode", {"V", nullptr, nullptr, "mV", nullptr, nullptr}},
    {F::Capacitance, "CAP", {"F", "nF", "uF", "mF", nullptr, nullptr}},
    {F::TempC, "TMP", {"#", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {F::TempF, "TMP", {"?", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {F::Frequency, "Freq", {"Hz", nullptr, nullptr, nullptr, "kHz", "MHz"}},
    {F::DutyCycle, "DutyCycle", {"%", nullptr, nullptr, nullptr, nullptr, nullptr}},
};

const UnitTexts& textsFor(F f) {
    for (const UnitTexts& t : kTexts)
        if (t.function == f) return t;
    return kTexts[0];
}

// Digits of |count| padded to the meter's places.
void digitsOf(int count, std::size_t places, char* out) {
    int m = std::abs(count);
    for (std::size_t i = places; i-- > 0;) {
        out[i] = static_cast<char>('0' + m % 10);
        m /= 10;
    }
}

bool ac(F f) { return f == F::ACV || f == F::ACA; }
bool dc(F f) { return f == F::DCV || f == F::DCA; }

FamilyFrame fs9721(const MeterModel& model, const DisplaySpec& s) {
    FamilyFrame out;
    std::uint8_t* f = out.bytes.data();
    const char* unit = familyUnitText(s);
    if (!unit) return out;
    std::uint8_t symbols = 0;
    auto symbol = [&](UserSymbol wanted) {
        for (std::size_t b = 0; b < 4; ++b)
            if (model.userSymbols[b] == wanted) { symbols |= static_cast<std::uint8_t>(1u << b); return true; }
        return false;
    };
    if (s.function == F::TempC && !symbol(UserSymbol::Celsius)) return out;
    if (s.function == F::TempF && !symbol(UserSymbol::Fahrenheit)) return out;
    if (s.maximum) symbol(UserSymbol::Max);
    if (s.minimum) symbol(UserSymbol::Min);

    char glyph[4];
    if (s.overload) {
        glyph[0] = '\0'; glyph[1] = '0'; glyph[2] = 'L'; glyph[3] = '\0';
    } else {
        digitsOf(s.count, 4, glyph);
    }
    std::uint8_t seg[4];
    for (std::size_t i = 0; i < 4; ++i) seg[i] = fs9721Segments(glyph[i]);
    std::uint8_t nib[14]{};
    nib[0] = static_cast<std::uint8_t>((ac(s.function) ? 8 : 0) | (dc(s.function) ? 4 : 0) | (s.autoRange ? 2 : 0) | 1);
    for (std::size_t i = 0; i < 4; ++i) {
        nib[1 + 2 * i] = seg[i] >> 4;
        nib[2 + 2 * i] = seg[i] & 0x0F;
    }
    if (s.count < 0) nib[1] |= 8;
    if (s.pointAfter >= 1 && s.pointAfter <= 3) nib[1 + 2 * s.pointAfter] |= 8;
    const bool volt = s.function == F::DCV || s.function == F::ACV || s.function == F::Diode;
    const bool amp = s.function == F::DCA || s.function == F::ACA;
    const bool ohm = s.function == F::Ohm || s.function == F::Continuity;
    nib[9] = static_cast<std::uint8_t>((s.prefix == Pre::Micro ? 8 : 0) | (s.prefix == Pre::Nano ? 4 : 0) |
                                       (s.prefix == Pre::Kilo ? 2 : 0) | (s.function == F::Diode ? 1 : 0));
    nib[10] = static_cast<std::uint8_t>((s.prefix == Pre::Milli ? 8 : 0) | (s.function == F::DutyCycle ? 4 : 0) |
                                        (s.prefix == Pre::Mega ? 2 : 0) | (s.function == F::Continuity ? 1 : 0));
    nib[11] = static_cast<std::uint8_t>((s.function == F::Capacitance ? 8 : 0) | (ohm ? 4 : 0) |
                                        (s.relative ? 2 : 0) | (s.hold ? 1 : 0));
    nib[12] = static_cast<std::uint8_t>((amp ? 8 : 0) | (volt ? 4 : 0) | (s.function == F::Frequency ? 2 : 0) |
                                        (s.lowBattery ? 1 : 0));
    nib[13] = symbols;
    for (std::size_t i = 0; i < 14; ++i) f[i] = static_cast<std::uint8_t>(((i + 1) << 4) | nib[i]);
    out.size = kFs9721FrameBytes;
    return out;
}

FamilyFrame es519xxAt(const DisplaySpec& s, const EsLayout& L, int count, std::size_t point);

// Five places show a four-digit reading either with a trailing zero and the
// same mark (1.234 V as 1.2340) or with a leading zero and the mark one
// place on (01.234): whichever range the chip has.
FamilyFrame es519xx(const DisplaySpec& s, const EsLayout& L, int fullCount) {
    // The chips send temperatures in degrees Celsius only.
    if (s.function == F::TempF) return {};
    const std::size_t p = static_cast<std::size_t>(s.pointAfter);
    FamilyFrame f;
    if (L.places == 4) {
        f = es519xxAt(s, L, s.count, p);
    } else {
        if (p > 0 && std::abs(s.count * 10) <= fullCount) f = es519xxAt(s, L, s.count * 10, p);
        if (f.size == 0) f = es519xxAt(s, L, s.count, p == 0 ? 0 : p + 1);
    }
    if (L.sentTwice && f.size > 0) {
        std::copy(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(f.size),
                  f.bytes.begin() + static_cast<std::ptrdiff_t>(f.size));
        f.size *= 2;
    }
    return f;
}

FamilyFrame es519xxAt(const DisplaySpec& s, const EsLayout& L, int count, std::size_t point) {
    FamilyFrame out;
    const char* unit = familyUnitText(s);
    if (!unit) return out;
    const std::string_view fn = familyFunctionText(s);
    const bool current = s.function == F::DCA || s.function == F::ACA;
    const bool duty = s.function == F::DutyCycle;
    // Find the function byte and range that show this unit with this mark.
    std::uint8_t code = 0;
    int range = -1;
    for (std::size_t i = 0; i < L.functionCount && range < 0; ++i) {
        const EsFunction& e = L.functions[i];
        const bool same = *e.function ? (fn == e.function || (duty && &e == L.frequency) ||
                                         (fn == "TMP" && std::string_view(e.function) == "TMP"))
                                      : ((fn == "DC" || fn == "AC") && e.current == current);
        if (!same) continue;
        if (duty) {
            if (!L.duty.unit || point != L.duty.pointAfter) return out;
            code = e.code;
            range = 0;
            break;
        }
        for (std::size_t r = 0; r < 8; ++r) {
            const EsRange& g = e.ranges[r];
            const std::string_view want = fn == "TMP" ? std::string_view("#") : std::string_view(unit);
            // Overload shows on whichever range of the unit the meter is in.
            if (g.unit && want == g.unit && (g.pointAfter == point || s.overload)) {
                code = e.code;
                range = static_cast<int>(r);
                break;
            }
        }
    }
    if (range < 0) return out;
    std::uint8_t* f = out.bytes.data();
    f[kEsRangeByte] = static_cast<std::uint8_t>(0x30 + range);
    char digits[5];
    digitsOf(s.overload ? 0 : count, L.places, digits);
    for (std::size_t i = 0; i < L.places; ++i) f[kEsFirstDigit + i] = static_cast<std::uint8_t>(digits[i]);
    const std::size_t functionByte = kEsFirstDigit + L.places;
    f[functionByte] = code;
    const bool judge = duty || s.function == F::TempC;
    f[functionByte + 1] = static_cast<std::uint8_t>(0x30 | (judge ? kEsJudge : 0) | (s.count < 0 ? kEsSign : 0) |
                                                    (s.lowBattery ? kEsBattery : 0) | (s.overload ? kEsOverload : 0));
    for (std::size_t i = functionByte + 2; i < L.frameBytes - 2; ++i) f[i] = 0x30;
    for (std::size_t i = 0; i < L.optionCount; ++i) {
        const EsOption& o = L.options[i];
        bool on = false;
        switch (o.what) {
        case EsOption::Hold: on = s.hold; break;
        case EsOption::Max: on = s.maximum; break;
        case EsOption::Min: on = s.minimum; break;
        case EsOption::Rel: on = s.relative; break;
        case EsOption::Dc: on = dc(s.function); break;
        case EsOption::Ac: on = ac(s.function); break;
        case EsOption::Auto: on = s.autoRange; break;
        default: break;
        }
        if (on) f[o.byte] |= o.mask;
    }
    f[L.frameBytes - 2] = kCR;
    f[L.frameBytes - 1] = kLF;
    out.size = L.frameBytes;
    return out;
}

struct MetexMode {
    F function;
    const char* mode;
    const char* units[6];   // wire unit by prefix
};
constexpr MetexMode kMetex[] = {
    {F::DCV, "DC", {"V", nullptr, nullptr, "mV", nullptr, nullptr}},
    {F::ACV, "AC", {"V", nullptr, nullptr, "mV", nullptr, nullptr}},
    {F::DCA, "DC", {"A", nullptr, "uA", "mA", nullptr, nullptr}},
    {F::ACA, "AC", {"A", nullptr, "uA", "mA", nullptr, nullptr}},
    {F::Ohm, "OH", {"Ohm", nullptr, nullptr, nullptr, "kOhm", "MOhm"}},
    {F::Diode, "DI", {"V", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {F::Capacitance, "CA", {nullptr, "nF", "uF", nullptr, nullptr, nullptr}},
    {F::TempC, "TE", {"C", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {F::Frequency, "FR", {nullptr, nullptr, nullptr, nullptr, "kHz", nullptr}},
};

FamilyFrame metex14(const MeterModel& model, const DisplaySpec& s) {
    FamilyFrame out;
    const MetexMode* m = nullptr;
    for (const MetexMode& x : kMetex)
        if (x.function == s.function) m = &x;
    if (!m || !m->units[static_cast<int>(s.prefix)]) return out;
    const std::size_t places = model.fullCount > 9999 ? 5 : 4;
    char value[8];
    std::size_t n = 0;
    if (s.overload) {
        if (s.count < 0) value[n++] = '-';
        value[n++] = 'O';
        value[n++] = 'L';
    } else {
        char digits[5];
        digitsOf(s.count, places, digits);
        const std::size_t point = s.pointAfter == 0 ? 0 : s.pointAfter + (places - 4);
        if (s.count < 0) value[n++] = '-';
        for (std::size_t i = 0; i < places; ++i) {
            value[n++] = digits[i];
            if (point == i + 1) value[n++] = '.';
        }
    }
    std::uint8_t* f = out.bytes.data();
    std::memset(f, ' ', kMetex14FrameBytes);
    std::memcpy(f, m->mode, 2);
    std::memcpy(f + 9 - n, value, n);   // right-aligned in bytes 2-8
    const char* u = m->units[static_cast<int>(s.prefix)];
    std::memcpy(f + 9, u, std::strlen(u));
    f[13] = kCR;
    out.size = kMetex14FrameBytes;
    return out;
}

// The mode of each function, and its milli or micro twin.
struct AbCdFunction {
    F function;
    std::uint8_t mode;
    std::uint8_t milliMode;
    std::uint8_t microMode;
};
constexpr AbCdFunction kAbCdFunctions[] = {
    {F::ACV, 0x00, 0x01, 0xFF}, {F::DCV, 0x02, 0x03, 0xFF},      {F::Frequency, 0x04, 0xFF, 0xFF},
    {F::DutyCycle, 0x05, 0xFF, 0xFF}, {F::Ohm, 0x06, 0xFF, 0xFF}, {F::Continuity, 0x07, 0xFF, 0xFF},
    {F::Diode, 0x08, 0xFF, 0xFF}, {F::Capacitance, 0x09, 0x09, 0x09}, {F::TempC, 0x0A, 0xFF, 0xFF},
    {F::TempF, 0x0B, 0xFF, 0xFF}, {F::DCA, 0x10, 0x0E, 0x0C},      {F::ACA, 0x11, 0x0F, 0x0D},
};

FamilyFrame unitAbCd(const MeterModel& model, const DisplaySpec& s) {
    FamilyFrame out;
    const char* unit = familyUnitText(s);
    if (!unit) return out;
    std::uint8_t code = 0xFF;
    for (const AbCdFunction& f : kAbCdFunctions)
        if (f.function == s.function)
            code = s.prefix == Pre::Milli ? f.milliMode : s.prefix == Pre::Micro ? f.microMode : f.mode;
    const AbCdMode* mode = code == 0xFF ? nullptr : abCdMode(code);
    if (!mode) return out;
    int range = -1;
    for (std::size_t r = 0; r < abCdRangeCount(*mode, model.fullCount) && range < 0; ++r)
        if (std::string_view(mode->units[r]) == unit) range = static_cast<int>(r);
    if (range < 0) return out;

    // The display, right-aligned in seven characters: five-place meters
    // show a four-digit count with a leading zero and the mark one place on.
    const std::size_t places = model.fullCount > 9999 ? 5 : 4;
    char text[kAbCdDisplayChars];
    std::memset(text, ' ', sizeof text);
    char value[kAbCdDisplayChars];
    std::size_t n = 0;
    if (s.count < 0) value[n++] = '-';
    if (s.overload) {
        value[n++] = 'O';
        value[n++] = 'L';
    } else {
        char digits[5];
        digitsOf(s.count, places, digits);
        const std::size_t point = s.pointAfter == 0 ? 0 : static_cast<std::size_t>(s.pointAfter) + (places - 4);
        for (std::size_t i = 0; i < places; ++i) {
            value[n++] = digits[i];
            if (point == i + 1) value[n++] = '.';
        }
    }
    std::memcpy(text + sizeof text - n, value, n);

    std::uint8_t* f = out.bytes.data();
    f[0] = kAbCdFirst;
    f[1] = kAbCdSecond;
    f[2] = kAbCdAnswerLength;
    f[kAbCdMode] = code;
    f[kAbCdRange] = static_cast<std::uint8_t>('0' + range);
    std::memcpy(f + kAbCdDisplay, text, sizeof text);
    f[kAbCdBarHigh] = 0;
    f[kAbCdBarLow] = 0;
    f[kAbCdFlags1] = static_cast<std::uint8_t>(kAbCdFlagBase | (s.maximum ? kAbCdMax : 0) | (s.minimum ? kAbCdMin : 0) |
                                               (s.hold ? kAbCdHold : 0) | (s.relative ? kAbCdRel : 0));
    f[kAbCdFlags2] = static_cast<std::uint8_t>(kAbCdFlagBase | (s.autoRange ? 0 : kAbCdManual) |
                                               (s.lowBattery ? kAbCdLowBattery : 0));
    f[kAbCdFlags3] = static_cast<std::uint8_t>(kAbCdFlagBase | (dc(s.function) ? kAbCdDc : 0));
    sealAbCdFrame(f, kAbCdAnswerBytes);
    out.size = kAbCdAnswerBytes;
    return out;
}

// The Fluke answer to "QM" with its acknowledgement: the value in the base
// unit with the digits the display shows, so the decoder finds the same
// prefix and decimal mark.
FamilyFrame flukeQm(const MeterModel& model, const DisplaySpec& s) {
    struct Wire { F function; const char* unit; const char* attribute; unsigned prefixes; };
    // prefixes: bit per UnitPrefix the meter shows that unit with
    constexpr unsigned kNone = 1u << static_cast<int>(Pre::None), kNano = 1u << static_cast<int>(Pre::Nano),
                       kMicro = 1u << static_cast<int>(Pre::Micro), kMilli = 1u << static_cast<int>(Pre::Milli),
                       kKilo = 1u << static_cast<int>(Pre::Kilo), kMega = 1u << static_cast<int>(Pre::Mega);
    static constexpr Wire kWire[] = {
        {F::DCV, "VDC", "NONE", kNone | kMilli},       {F::ACV, "VAC", "NONE", kNone | kMilli},
        {F::DCA, "ADC", "NONE", kNone | kMilli | kMicro}, {F::ACA, "AAC", "NONE", kNone | kMilli | kMicro},
        {F::Ohm, "OHM", "NONE", kNone | kKilo | kMega}, {F::Continuity, "OHM", "SHORT_CIRCUIT", kNone},
        {F::Diode, "VDC", "GOOD_DIODE", kNone | kMilli}, {F::Capacitance, "F", "NONE", kNano | kMicro | kMilli},
        {F::TempC, "CEL", "NONE", kNone},              {F::TempF, "FAR", "NONE", kNone},
        {F::Frequency, "Hz", "NONE", kNone | kKilo | kMega}, {F::DutyCycle, "PCT", "NONE", kNone},
    };
    static constexpr int kPower[] = {0, -9, -6, -3, 3, 6};   // by UnitPrefix
    const Wire* w = nullptr;
    for (const Wire& x : kWire)
        if (x.function == s.function) w = &x;
    const unsigned prefix = 1u << static_cast<int>(s.prefix);
    if (!w || !(w->prefixes & prefix)) return {};
    // The 18x answer has no attribute: a diode or continuity test reads as
    // the volts or ohms it measures.
    if (model.has(kQmAnswerNamesCommand) && std::strcmp(w->attribute, "NONE") != 0) return {};
    bool largerPrefix = false;
    for (int p = 0; p < 6; ++p)
        if ((w->prefixes & (1u << p)) && kPower[p] > kPower[static_cast<int>(s.prefix)]) largerPrefix = true;

    char value[24];
    std::size_t n = 0;
    if (s.overload) {
        // The 28x sends a value no range holds; the 18x form says "OL".
        const char* over = model.has(kQmAnswerNamesCommand) ? (s.count < 0 ? "-OL" : "OL") : "9.99999999E+37";
        n = std::strlen(over);
        std::memcpy(value, over, n);
    } else {
        char digits[4];
        digitsOf(s.count, 4, digits);
        const std::size_t before = s.pointAfter >= 1 && s.pointAfter <= 3 ? static_cast<std::size_t>(s.pointAfter) : 4;
        std::size_t first = 0;
        while (first + 1 < before && digits[first] == '0') ++first;
        // A fourth digit before the mark belongs to the next prefix, where
        // the unit has one.
        if (before - first > 3 && largerPrefix) return {};
        value[n++] = s.count < 0 ? '-' : '+';
        for (std::size_t i = first; i < 4; ++i) {
            if (i == before) value[n++] = '.';
            value[n++] = digits[i];
        }
        n += static_cast<std::size_t>(std::snprintf(value + n, sizeof value - n, "E%+d", kPower[static_cast<int>(s.prefix)]));
    }
    const char* state = !s.overload ? "NORMAL" : s.count < 0 ? "OL_MINUS" : "OL";
    char text[kMaxFamilyFrameBytes + 1];
    const int size = model.has(kQmAnswerNamesCommand)
                         ? std::snprintf(text, sizeof text, "0\rQM,%.*s %s\r", static_cast<int>(n), value, w->unit)
                         : std::snprintf(text, sizeof text, "0\r%.*s,%s,%s,%s\r", static_cast<int>(n), value, w->unit,
                                         state, w->attribute);
    FamilyFrame out;
    if (size <= 0 || static_cast<std::size_t>(size) > kMaxFamilyFrameBytes) return out;
    std::memcpy(out.bytes.data(), text, static_cast<std::size_t>(size));
    out.size = static_cast<std::size_t>(size);
    return out;
}

}  // namespace

const char* familyFunctionText(const DisplaySpec& spec) { return textsFor(spec.function).function_text; }

const char* familyUnitText(const DisplaySpec& spec) {
    return textsFor(spec.function).units[static_cast<int>(spec.prefix)];
}

FamilyFrame encodeFamilyFrame(const MeterModel& model, const DisplaySpec& spec) {
    switch (model.protocol) {
    case MeterProtocol::Fs9922: {
        FamilyFrame out;
        const WireFrame w = encodeFrame(fieldsFor(spec));
        std::copy(w.begin(), w.end(), out.bytes.begin());
        out.size = w.size();
        return out;
    }
    case MeterProtocol::Fs9721: return fs9721(model, spec);
    case MeterProtocol::Metex14: return metex14(model, spec);
    case MeterProtocol::Es51922: return es519xx(spec, kEs51922Layout, model.fullCount);
    case MeterProtocol::Es51986: return es519xx(spec, kEs51986Layout, model.fullCount);
    case MeterProtocol::UniTAbCd: return unitAbCd(model, spec);
    case MeterProtocol::Bm86x:
        break;
    case MeterProtocol::FlukeQm: return flukeQm(model, spec);
    }
    return {};
}

}  // namespace meterlink
