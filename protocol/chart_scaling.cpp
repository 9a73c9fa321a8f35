#include "chart_scaling.h"

#include <array>

namespace meterlink {

namespace {

enum class Tri : std::uint8_t { Any, On, Off };
// Decimal point condition: a specific mark, no mark, or any.
enum class Pt : std::uint8_t { Any, None, P1, P2, P3 };

struct RangeRule {
    Tri ac;               // the AC indicator itself, not the function text
    std::string_view function;  // kAny: any
    std::string_view unit;      // kAny: any
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

constexpr std::string_view kAny{};   // a null view, distinct from any real text
constexpr Tri A = Tri::Any;
constexpr Tri Y = Tri::On;
constexpr Tri N = Tri::Off;

#define F3 0.001, 3
#define F2 0.01, 2
#define F1 0.1, 1
#define F0 1.0, 0

// Tested in order on every frame; every match applies, so the last one wins.
constexpr std::array<RangeRule, 45> kRangeRules{{
    /*  1 */ {Y, kAny, kAny, Pt::P1, A, A, A, A, A, 6, F3},
    /*  2 */ {Y, kAny, kAny, Pt::P2, A, A, A, A, A, 60, F2},
    /*  3 */ {Y, kAny, kAny, Pt::P3, A, A, A, A, A, 600, F1},
    /*  4 */ {Y, kAny, kAny, Pt::None, A, A, A, A, A, 750, F0},
    /*  5 */ {A, "DC", "mV", Pt::Any, A, A, A, A, A, 600, F1},
    /*  6 */ {A, "DC", "V", Pt::P1, A, A, A, A, A, 6, F3},
    /*  7 */ {A, "DC", "V", Pt::P2, A, A, A, A, A, 60, F2},
    /*  8 */ {A, "DC", "V", Pt::P3, A, A, A, A, A, 600, F1},
    /*  9 */ {A, "DC", kAny, Pt::None, A, A, A, A, A, 1000, F0},
    /* 10 */ {A, "CAP", "nF", Pt::Any, A, A, A, A, A, 40, F2},
    /* 11 */ {A, "CAP", "nF", Pt::P3, A, A, A, A, A, 400, F1},
    /* 12 */ {A, "CAP", "uF", Pt::P1, A, A, A, A, A, 4, F3},
    /* 13 */ {A, "CAP", "uF", Pt::P2, A, A, A, A, A, 40, F2},
    /* 14 */ {A, "CAP", "uF", Pt::P3, A, A, A, A, A, 400, F1},
    /* 15 */ {A, "CAP", kAny, Pt::None, A, A, A, A, A, 4000, F0},
    /* 16 */ {A, kAny, kAny, Pt::Any, A, A, A, Y, A, 60, F1},
    /* 17 */ {A, "OHM", "*", Pt::P3, N, A, A, A, A, 600, F1},
    /* 18 */ {A, "OHM", "k*", Pt::P1, A, A, A, A, A, 6, F3},
    /* 19 */ {A, "OHM", "k*", Pt::P2, A, A, A, A, A, 60, F2},
    /* 20 */ {A, "OHM", "k*", Pt::P3, A, A, A, A, A, 600, F1},
    /* 21 */ {A, "OHM", "M*", Pt::P1, A, A, A, A, A, 6, F3},
    /* 22 */ {A, "OHM", "M*", Pt::P2, A, A, A, A, A, 60, F2},
    /* 23 */ {A, kAny, kAny, Pt::Any, A, A, A, A, Y, 6, F3},
    /* 24 */ {A, kAny, "#", Pt::Any, A, A, A, A, A, 1000, F0},
    /* 25 */ {A, kAny, "?", Pt::Any, A, A, A, A, A, 1832, F0},
    /* 26 */ {A, "Freq", "Hz", Pt::P1, A, N, N, A, A, 10, F3},
    /* 27 */ {A, "Freq", "Hz", Pt::P2, A, N, N, A, A, 100, F2},
    /* 28 */ {A, "Freq", "Hz", Pt::P3, A, N, N, A, A, 1000, F1},
    /* 29 */ {A, "Freq", "Hz", Pt::P1, A, Y, N, A, A, 10, F3},
    /* 30 */ {A, "Freq", "Hz", Pt::P2, A, Y, N, A, A, 100, F2},
    /* 31 */ {A, "Freq", "Hz", Pt::P3, A, Y, N, A, A, 1000, F1},
    /* 32 */ {A, "Freq", "Hz", Pt::P1, A, N, Y, A, A, 10, F3},
    /* 33 */ {A, kAny, "%", Pt::Any, A, A, A, A, A, 100, F1},
    /* 34 */ {A, "DC", "uA", Pt::P3, A, A, A, A, A, 600, F1},
    /* 35 */ {A, "DC", "uA", Pt::None, A, A, A, A, A, 6000, F0},
    /* 36 */ {A, "AC", "uA", Pt::P3, A, A, A, A, A, 600, F1},
    /* 37 */ {A, "AC", "uA", Pt::None, A, A, A, A, A, 6000, F0},
    /* 38 */ {A, "DC", "mA", Pt::P2, A, A, A, A, A, 60, F2},
    /* 39 */ {A, "DC", "mA", Pt::P3, A, A, A, A, A, 600, F1},
    /* 40 */ {A, "AC", "mA", Pt::P2, A, A, A, A, A, 60, F2},
    /* 41 */ {A, "AC", "mA", Pt::P3, A, A, A, A, A, 600, F1},
    /* 42 */ {A, "DC", "A", Pt::P1, A, A, A, A, A, 6, F3},
    /* 43 */ {A, "DC", "A", Pt::P2, A, A, A, A, A, 10, F2},
    /* 44 */ {A, "AC", "A", Pt::P1, A, A, A, A, A, 6, F3},
    /* 45 */ {A, "AC", "A", Pt::P2, A, A, A, A, A, 10, F2},
}};

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

bool textHolds(std::string_view want, std::string_view have) {
    return want.data() == nullptr || have == want;
}

}  // namespace

int decimalPoint(const LcdState& lcd) {
    if (lcd.shown(Lcd::P1)) return 1;
    if (lcd.shown(Lcd::P2)) return 2;
    if (lcd.shown(Lcd::P3)) return 3;
    return 0;
}

std::int32_t fullCountForUnit(std::string_view unit) {
    if (unit == "Hz") return 1000;
    if (unit == "%") return 100;
    if (unit == "#") return 1000;
    return 6000;
}

ChartScale chooseChartScale(const ScaleInput& in) {
    const LcdState& lcd = *in.lcd;
    const int point = decimalPoint(lcd);
    ChartScale out;
    for (std::size_t i = 0; i < kRangeRules.size(); ++i) {
        const RangeRule& r = kRangeRules[i];
        if (holds(r.ac, lcd.shown(Lcd::AC)) && textHolds(r.function, in.function) &&
            textHolds(r.unit, in.unit) && pointHolds(r.point, point) &&
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

int rangeRuleCount() { return static_cast<int>(kRangeRules.size()); }

}  // namespace meterlink
