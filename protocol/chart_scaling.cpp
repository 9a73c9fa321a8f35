#include "chart_scaling.h"

#include <array>
#include <utility>

namespace meterlink {

namespace {

enum class Tri : std::uint8_t { Any, On, Off };

// The texts the rules test, mapped once per frame so the rule loop compares
// small integers.
enum class Fn : std::uint8_t { Any, DC, AC, CAP, OHM, Freq, Other };
enum class Un : std::uint8_t { Any, V, mV, uA, mA, A, nF, uF, Ohm, kOhm, MOhm, DegC, DegF, Hz, Percent, Other };

Fn functionCode(std::string_view f) {
    if (f == "DC") return Fn::DC;
    if (f == "AC") return Fn::AC;
    if (f == "CAP") return Fn::CAP;
    if (f == "OHM") return Fn::OHM;
    if (f == "Freq") return Fn::Freq;
    return Fn::Other;
}

Un unitCode(std::string_view u) {
    static constexpr std::pair<std::string_view, Un> kUnits[] = {
        {"V", Un::V},     {"mV", Un::mV},     {"uA", Un::uA},   {"mA", Un::mA},   {"A", Un::A},
        {"nF", Un::nF},   {"uF", Un::uF},     {"*", Un::Ohm},   {"k*", Un::kOhm}, {"M*", Un::MOhm},
        {"#", Un::DegC},  {"?", Un::DegF},    {"Hz", Un::Hz},   {"%", Un::Percent},
        // The frequency rules tell the ranges apart by the kilo and mega marks.
        {"kHz", Un::Hz},  {"MHz", Un::Hz}};
    for (const auto& [text, code] : kUnits)
        if (u == text) return code;
    return Un::Other;
}
// Decimal point condition: a specific mark, no mark, or any.
enum class Pt : std::uint8_t { Any, None, P1, P2, P3 };

struct RangeRule {
    Tri ac;               // the AC indicator itself, not the function text
    Fn function;
    Un unit;
    Pt point;
    Tri fm;               // continuity indicator
    Tri kilo;
    Tri mega;
    Tri continuityBit;
    Tri flag97;
    double bound;
    double factor;
    int decimals;
};

constexpr Tri A = Tri::Any;
constexpr Tri Y = Tri::On;
constexpr Tri N = Tri::Off;

#define F3 0.001, 3
#define F2 0.01, 2
#define F1 0.1, 1
#define F0 1.0, 0

// Tested in order on every frame; every match applies, so the last one wins.
constexpr std::array<RangeRule, 48> kRangeRules{{
    /*  1 */ {Y, Fn::Any, Un::Any, Pt::P1, A, A, A, A, A, 6, F3},
    /*  2 */ {Y, Fn::Any, Un::Any, Pt::P2, A, A, A, A, A, 60, F2},
    /*  3 */ {Y, Fn::Any, Un::Any, Pt::P3, A, A, A, A, A, 600, F1},
    /*  4 */ {Y, Fn::Any, Un::Any, Pt::None, A, A, A, A, A, 750, F0},
    // The 600.0 mV range; millivolts with the mark elsewhere (05.20 mV) are
    // plotted as shown by the point's own range below.
    /*  5 */ {A, Fn::DC, Un::mV, Pt::P3, A, A, A, A, A, 600, F1},
    /*  6 */ {A, Fn::DC, Un::V, Pt::P1, A, A, A, A, A, 6, F3},
    /*  7 */ {A, Fn::DC, Un::V, Pt::P2, A, A, A, A, A, 60, F2},
    /*  8 */ {A, Fn::DC, Un::V, Pt::P3, A, A, A, A, A, 600, F1},
    /*  9 */ {A, Fn::DC, Un::Any, Pt::None, A, A, A, A, A, 1000, F0},
    // Capacitance shows up to 6000 counts like every other range.
    /* 10 */ {A, Fn::CAP, Un::nF, Pt::P2, A, A, A, A, A, 60, F2},
    /* 11 */ {A, Fn::CAP, Un::nF, Pt::P3, A, A, A, A, A, 600, F1},
    /* 12 */ {A, Fn::CAP, Un::uF, Pt::P1, A, A, A, A, A, 6, F3},
    /* 13 */ {A, Fn::CAP, Un::uF, Pt::P2, A, A, A, A, A, 60, F2},
    /* 14 */ {A, Fn::CAP, Un::uF, Pt::P3, A, A, A, A, A, 600, F1},
    /* 15 */ {A, Fn::CAP, Un::Any, Pt::None, A, A, A, A, A, 6000, F0},
    // The continuity range is 600.0 ohm.
    /* 16 */ {A, Fn::Any, Un::Any, Pt::P3, A, A, A, Y, A, 600, F1},
    /* 17 */ {A, Fn::OHM, Un::Ohm, Pt::P3, N, A, A, A, A, 600, F1},
    /* 18 */ {A, Fn::OHM, Un::kOhm, Pt::P1, A, A, A, A, A, 6, F3},
    /* 19 */ {A, Fn::OHM, Un::kOhm, Pt::P2, A, A, A, A, A, 60, F2},
    /* 20 */ {A, Fn::OHM, Un::kOhm, Pt::P3, A, A, A, A, A, 600, F1},
    /* 21 */ {A, Fn::OHM, Un::MOhm, Pt::P1, A, A, A, A, A, 6, F3},
    /* 22 */ {A, Fn::OHM, Un::MOhm, Pt::P2, A, A, A, A, A, 60, F2},
    /* 23 */ {A, Fn::Any, Un::Any, Pt::Any, A, A, A, A, Y, 6, F3},
    /* 24 */ {A, Fn::Any, Un::DegC, Pt::None, A, A, A, A, A, 1000, F0},
    /* 25 */ {A, Fn::Any, Un::DegF, Pt::None, A, A, A, A, A, 1832, F0},
    /* 26 */ {A, Fn::Freq, Un::Hz, Pt::P1, A, N, N, A, A, 10, F3},
    /* 27 */ {A, Fn::Freq, Un::Hz, Pt::P2, A, N, N, A, A, 100, F2},
    /* 28 */ {A, Fn::Freq, Un::Hz, Pt::P3, A, N, N, A, A, 1000, F1},
    /* 29 */ {A, Fn::Freq, Un::Hz, Pt::P1, A, Y, N, A, A, 10, F3},
    /* 30 */ {A, Fn::Freq, Un::Hz, Pt::P2, A, Y, N, A, A, 100, F2},
    /* 31 */ {A, Fn::Freq, Un::Hz, Pt::P3, A, Y, N, A, A, 1000, F1},
    /* 32 */ {A, Fn::Freq, Un::Hz, Pt::P1, A, N, Y, A, A, 10, F3},
    /* 33 */ {A, Fn::Any, Un::Percent, Pt::P3, A, A, A, A, A, 100, F1},
    /* 34 */ {A, Fn::DC, Un::uA, Pt::P3, A, A, A, A, A, 600, F1},
    /* 35 */ {A, Fn::DC, Un::uA, Pt::None, A, A, A, A, A, 6000, F0},
    /* 36 */ {A, Fn::AC, Un::uA, Pt::P3, A, A, A, A, A, 600, F1},
    /* 37 */ {A, Fn::AC, Un::uA, Pt::None, A, A, A, A, A, 6000, F0},
    /* 38 */ {A, Fn::DC, Un::mA, Pt::P2, A, A, A, A, A, 60, F2},
    /* 39 */ {A, Fn::DC, Un::mA, Pt::P3, A, A, A, A, A, 600, F1},
    /* 40 */ {A, Fn::AC, Un::mA, Pt::P2, A, A, A, A, A, 60, F2},
    /* 41 */ {A, Fn::AC, Un::mA, Pt::P3, A, A, A, A, A, 600, F1},
    /* 42 */ {A, Fn::DC, Un::A, Pt::P1, A, A, A, A, A, 6, F3},
    /* 43 */ {A, Fn::DC, Un::A, Pt::P2, A, A, A, A, A, 10, F2},
    /* 44 */ {A, Fn::AC, Un::A, Pt::P1, A, A, A, A, A, 6, F3},
    /* 45 */ {A, Fn::AC, Un::A, Pt::P2, A, A, A, A, A, 10, F2},
    // Temperatures in tenths of a degree, and the 99.99 MHz range.
    /* 46 */ {A, Fn::Any, Un::DegC, Pt::P3, A, A, A, A, A, 1000, F1},
    /* 47 */ {A, Fn::Any, Un::DegF, Pt::P3, A, A, A, A, A, 1832, F1},
    /* 48 */ {A, Fn::Freq, Un::Hz, Pt::P2, A, N, Y, A, A, 100, F2},
}};

// Beneath every rule: the displayed value at the range's full 6000 counts, so
// a reading that no rule names (a diode, ohms with the point after the first
// digit) is still plotted as shown and on the axis.
constexpr RangeRule kPointRules[] = {
    {A, Fn::Any, Un::Any, Pt::None, A, A, A, A, A, 6000, F0},
    {A, Fn::Any, Un::Any, Pt::P1, A, A, A, A, A, 6, F3},
    {A, Fn::Any, Un::Any, Pt::P2, A, A, A, A, A, 60, F2},
    {A, Fn::Any, Un::Any, Pt::P3, A, A, A, A, A, 600, F1},
};

#undef F3
#undef F2
#undef F1
#undef F0

bool holds(Tri t, bool value) {
    return t == Tri::Any || (t == Tri::On) == value;
}

bool pointHolds(Pt p, int point) {
    switch (p) {
    case Pt::Any: return true;
    case Pt::None: return point == 0;
    case Pt::P1: return point == 1;
    case Pt::P2: return point == 2;
    case Pt::P3: return point == 3;
    }
    return false;
}

template <typename Code>
bool codeHolds(Code want, Code have) {
    return want == Code::Any || want == have;
}

}  // namespace

int decimalPoint(const LcdState& lcd) {
    if (lcd.shown(Lcd::P1)) return 1;
    if (lcd.shown(Lcd::P2)) return 2;
    if (lcd.shown(Lcd::P3)) return 3;
    return 0;
}

std::int32_t fullCountForUnit(std::string_view unit) {
    if (unit == "Hz" || unit == "kHz" || unit == "MHz") return 1000;
    if (unit == "%") return 100;
    if (unit == "#") return 1000;
    return 6000;
}

ChartScale chooseChartScale(const ScaleInput& in) {
    const LcdState& lcd = *in.lcd;
    const int point = decimalPoint(lcd);
    const Fn function = functionCode(in.function);
    const Un unit = unitCode(in.unit);
    ChartScale out;
    for (const RangeRule& r : kPointRules) {
        if (pointHolds(r.point, point)) {
            out.matched = true;
            out.bound = r.bound;
            out.factor = r.factor;
            out.factorDecimals = r.decimals;
        }
    }
    for (std::size_t i = 0; i < kRangeRules.size(); ++i) {
        const RangeRule& r = kRangeRules[i];
        if (holds(r.ac, lcd.shown(Lcd::AC)) && codeHolds(r.function, function) &&
            codeHolds(r.unit, unit) && pointHolds(r.point, point) &&
            holds(r.fm, lcd.shown(Lcd::Fm)) && holds(r.kilo, lcd.shown(Lcd::Kilo)) &&
            holds(r.mega, lcd.shown(Lcd::Mega)) && holds(r.continuityBit, in.continuityBit) &&
            holds(r.flag97, in.flag97)) {
            out.matched = true;
            out.bound = r.bound;
            out.factor = r.factor;
            out.factorDecimals = r.decimals;
            out.rule = static_cast<int>(i + 1);
        }
    }
    return out;
}

}  // namespace meterlink
