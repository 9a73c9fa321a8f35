#pragma once
// A reading's shown value and unit as one number in the SI base unit, for the
// exports and for judging across ranges. Plain text in, no locale calls: the
// decimal separator is passed in.

#include <string_view>

namespace meterlink {

struct SiValue {
    bool hasValue = false;   // false for overload forms or text that is not a number
    bool overload = false;   // "OL", "0.L", ".0L" and the other overload forms the decoder makes
    double value = 0;        // in the SI base unit, exact to the shown digits
    std::string_view unit;   // SI symbol, UTF-8: "V","A","Ω"(U+03A9),"F","Hz","%","°C","°F","W",
                             // "dB","dBm" (as shown, not scaled), or "" when unknown
};

// valueText as shown (user's decimal separator), unitText as the decoder makes
// it ("mV", "k*", "#", "?", "uA", ...). An unknown unit keeps the shown number
// with an empty unit. The value is the double nearest the shown decimal: the
// digits form one integer scaled once by an exact power of ten.
SiValue toSiValue(std::string_view valueText, std::string_view unitText, std::string_view decimalSep);

}  // namespace meterlink
