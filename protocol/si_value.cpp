#include "si_value.h"

#include <cstdint>

namespace meterlink {

namespace {

struct BaseUnit {
    std::string_view text;   // as the decoders write it, after any prefix
    std::string_view si;
    bool takesPrefix;
};

// "*" is ohm, "#" degrees Celsius and "?" degrees Fahrenheit in the decoder's
// unit texts; the spelled-out symbols are accepted too. Decibels are
// logarithmic: the shown number stays as it is, under its own unit, and
// takes no prefix.
constexpr BaseUnit kBaseUnits[] = {
    {"V", "V", true},          {"A", "A", true},   {"*", "\u03A9", true},
    {"\u03A9", "\u03A9", true}, {"\u2126", "\u03A9", true},
    {"F", "F", true},          {"Hz", "Hz", true}, {"%", "%", false},
    {"#", "\u00B0C", false},   {"?", "\u00B0F", false},
    {"\u00B0C", "\u00B0C", false}, {"\u00B0F", "\u00B0F", false},
    {"W", "W", true},          {"dB", "dB", false}, {"dBm", "dBm", false},
};

struct Prefix {
    std::string_view text;
    int exponent;
};

constexpr Prefix kPrefixes[] = {
    {"p", -12}, {"n", -9}, {"u", -6}, {"\u00B5", -6}, {"\u03BC", -6},
    {"m", -3},  {"k", 3},  {"M", 6},  {"G", 9},
};

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
// Integers up to 2^53 are exact in a double; more digits than this would round twice.
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;

struct Unit {
    bool known = false;
    std::string_view si;
    int exponent = 0;
};

Unit parseUnit(std::string_view text) {
    for (const BaseUnit& b : kBaseUnits) {
        if (text == b.text)
            return {true, b.si, 0};
        if (!b.takesPrefix || text.size() <= b.text.size()
            || text.substr(text.size() - b.text.size()) != b.text)
            continue;
        const std::string_view prefix = text.substr(0, text.size() - b.text.size());
        for (const Prefix& p : kPrefixes)
            if (prefix == p.text)
                return {true, b.si, p.exponent};
    }
    return {};
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// "0L" or "OL" with an optional sign and decimal marks anywhere around it.
bool isOverload(std::string_view s, std::string_view sep) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    char core[2];
    std::size_t n = 0;
    while (!s.empty()) {
        if (!sep.empty() && s.substr(0, sep.size()) == sep) { s.remove_prefix(sep.size()); continue; }
        if (s.front() == '.') { s.remove_prefix(1); continue; }
        if (n == sizeof core) return false;
        core[n++] = s.front();
        s.remove_prefix(1);
    }
    return n == 2 && (core[0] == '0' || core[0] == 'O' || core[0] == 'o') && (core[1] == 'L' || core[1] == 'l');
}

}  // namespace

SiValue toSiValue(std::string_view valueText, std::string_view unitText, std::string_view decimalSep) {
    SiValue out;
    const Unit unit = parseUnit(trim(unitText));
    out.unit = unit.known ? unit.si : std::string_view{};

    std::string_view s = trim(valueText);
    if (isOverload(s, decimalSep)) {
        out.overload = true;
        return out;
    }

    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool seenPoint = false;
    while (!s.empty()) {
        if (!decimalSep.empty() && s.substr(0, decimalSep.size()) == decimalSep) {
            if (seenPoint) return out;
            seenPoint = true;
            s.remove_prefix(decimalSep.size());
            continue;
        }
        const char c = s.front();
        if (c < '0' || c > '9') return out;
        mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
        if (mantissa > kMaxExactMantissa) return out;
        ++digits;
        if (seenPoint) ++decimals;
        s.remove_prefix(1);
    }
    if (digits == 0) return out;

    const int exponent = unit.exponent - decimals;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude > kMaxExactPower) return out;
    // One correctly rounded operation on exact operands: the nearest double.
    double v = static_cast<double>(mantissa);
    v = exponent < 0 ? v / kPowersOfTen[magnitude] : v * kPowersOfTen[magnitude];
    out.value = negative && mantissa != 0 ? -v : v;
    out.hasValue = true;
    return out;
}

}  // namespace meterlink
