#pragma once
// A limit as the user types it: a number, optionally followed by a unit
// ("5.5 V", "220 mV", "1.2 kΩ", "1.2 k" for kilo-ohm, "°C", "Hz", "%").
// With a unit, readings are judged in SI units, so a 5 V rail shown as
// "05.20 mV" does not pass limits of 4.5 V and 5.5 V. Without one, the
// limit is a bare display number, as it always was.

#include "limit_judge.h"

#include <optional>
#include <string_view>

namespace meterlink {

struct LimitValue {
    bool valid = false;     // a number, and a unit this program knows (or none)
    bool hasUnit = false;
    double value = 0;       // the number as typed, or in the SI unit when hasUnit
    std::string_view unit;  // the SI symbol ("V", "A", "Ω", "F", "Hz", "%", "°C", "°F") when hasUnit
};

// decimalSep is the user's; -999999 is not a number, with a unit or without.
LimitValue parseLimit(std::string_view text, std::string_view decimalSep);

// Unchanged when a limit is not valid. Without units on either limit, the
// display number is compared as before. With a unit, the reading is compared
// in SI units; a reading of another quantity, an overload or limits of two
// different quantities fail. A limit without a unit beside one with a unit
// counts in the same SI unit.
Verdict judgeLimits(std::string_view valueText, std::string_view unitText, const LimitValue& high,
                    const LimitValue& low, std::string_view decimalSep);
// The two limits in SI units for a reading shown in unitText: limits with a
// unit are SI already; bare ones count in the unit the reading is shown in
// ("6000" for a reading in mV is 6 V). None when a limit is not valid.
struct SiLimits {
    std::optional<double> high;
    std::optional<double> low;
};
SiLimits limitsInSi(const LimitValue& high, const LimitValue& low, std::string_view unitText);

Verdict judgeWithUnits(std::string_view valueText, std::string_view unitText, std::string_view highText,
                       std::string_view lowText, std::string_view decimalSep);

}  // namespace meterlink
