#include "limit_value.h"

#include <charconv>

#include "si_value.h"

#include <string>

namespace meterlink {

namespace {

// Where the unit starts: after the sign, digits, separators and an exponent.
std::size_t numberLength(std::string_view s, std::string_view sep) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool digits = false;
    while (i < s.size()) {
        if (s[i] >= '0' && s[i] <= '9') {
            digits = true;
            ++i;
        } else if (!sep.empty() && s.compare(i, sep.size(), sep) == 0) {
            i += sep.size();
        } else {
            break;
        }
    }
    // An exponent only when digits follow: "1e3" is a number, "1 e" is not.
    if (digits && i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
            i = j;
        }
    }
    return i;
}

// The typed unit in the decoder's form: a bare "k" or "M" is kilo- or
// mega-ohm, since resistance is the quantity those prefixes stand alone for
// on this meter, and the ohm sign has no key.
std::string decoderUnit(std::string_view typed) {
    if (typed == "k" || typed == "M") return std::string(typed) + "*";
    return std::string(typed);
}

}  // namespace

LimitValue parseLimit(std::string_view text, std::string_view decimalSep) {
    LimitValue out;
    text = trimBlanks(text);
    const std::size_t n = numberLength(text, decimalSep);
    const std::string_view number = text.substr(0, n);
    const std::string_view unit = trimBlanks(text.substr(n));
    const double bare = parseNumber(number, decimalSep);
    if (bare == kNotANumber) return out;
    if (unit.empty()) {
        out.valid = true;
        out.value = bare;
        return out;
    }
    const std::string forDecoder = decoderUnit(unit);
    SiValue si = toSiValue(number, forDecoder, decimalSep);
    if (si.unit.empty()) return out;
    if (!si.hasValue) {
        // An exponent, which the display never shows: scale the parsed number.
        const SiValue one = toSiValue("1", forDecoder, decimalSep);
        si.value = bare * one.value;
    }
    out.valid = true;
    out.hasUnit = true;
    out.value = si.value;
    out.unit = si.unit;
    return out;
}

Verdict judgeLimits(std::string_view valueText, std::string_view unitText, const LimitValue& high,
                    const LimitValue& low, std::string_view decimalSep) {
    if (!high.valid || !low.valid) return Verdict::Unchanged;
    if (!high.hasUnit && !low.hasUnit) return judgeValues(parseNumber(valueText, decimalSep), high.value, low.value);
    if (high.hasUnit && low.hasUnit && high.unit != low.unit) return Verdict::Fail;
    const std::string_view unit = high.hasUnit ? high.unit : low.unit;
    const SiValue reading = toSiValue(valueText, unitText, decimalSep);
    if (!reading.hasValue || reading.unit != unit) return Verdict::Fail;
    return reading.value < low.value || reading.value > high.value ? Verdict::Fail : Verdict::Pass;
}

SiLimits limitsInSi(const LimitValue& high, const LimitValue& low, std::string_view unitText) {
    if (!high.valid || !low.valid) return {};
    if (high.hasUnit || low.hasUnit) return {high.value, low.value};
    // The shown number's own decimal text, scaled as the reading's would be.
    const auto scaled = [unitText](double v) {
        char text[400];
        const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr;
        const SiValue si = toSiValue(std::string_view(text, static_cast<std::size_t>(end - text)), unitText, ".");
        return si.hasValue ? si.value : v;
    };
    return {scaled(high.value), scaled(low.value)};
}

Verdict judgeWithUnits(std::string_view valueText, std::string_view unitText, std::string_view highText,
                       std::string_view lowText, std::string_view decimalSep) {
    return judgeLimits(valueText, unitText, parseLimit(highText, decimalSep), parseLimit(lowText, decimalSep),
                       decimalSep);
}

}  // namespace meterlink
