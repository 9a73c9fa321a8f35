#include "limit_judge.h"

#include "limit_value.h"

#include <cctype>
#include <charconv>

namespace meterlink {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) { return trimBlanks(s); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length in bytes of the UTF-8 character that starts s (1 for anything odd).
std::size_t firstCharLength(std::string_view s) {
    if (s.empty()) return 0;
    const auto c = static_cast<unsigned char>(s[0]);
    std::size_t len = 1;
    if (c >= 0xF0) len = 4;
    else if (c >= 0xE0) len = 3;
    else if (c >= 0xC0) len = 2;
    return len <= s.size() ? len : 1;
}

std::string_view firstChar(std::string_view s) { return s.substr(0, firstCharLength(s)); }

}  // namespace

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

double parseNumber(std::string_view text, std::string_view sep) {
    // Normalise into "[-]digits[.digits][e[-]digits]" and let from_chars
    // convert it, so the result never depends on the process locale.
    text = trim(text);
    char buf[128];
    std::size_t n = 0;
    auto put = [&](char c) {
        if (n >= sizeof buf) return false;
        buf[n++] = c;
        return true;
    };
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-' && !put('-')) return kNotANumber;
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            if (!put(text[i])) return kNotANumber;
            ++digits;
            ++i;
        } else if (!point && !sep.empty() && text.compare(i, sep.size(), sep) == 0) {
            if (!put('.')) return kNotANumber;
            point = true;
            i += sep.size();
        } else {
            break;
        }
    }
    if (digits == 0) return kNotANumber;
    const bool exponent = i < text.size() && (text[i] == 'e' || text[i] == 'E');
    if (exponent) {
        if (!put('e')) return kNotANumber;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            if (text[i] == '-' && !put('-')) return kNotANumber;
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            if (!put(text[i])) return kNotANumber;
            ++expDigits;
            ++i;
        }
        if (expDigits == 0) return kNotANumber;
    }
    if (i != text.size()) return kNotANumber;

    // Meter values and typed limits are short plain decimals: an exact integer
    // divided by an exact power of ten is correctly rounded, the same double
    // from_chars gives, at a fraction of the cost.
    static constexpr double kPow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (digits <= 15 && !exponent) {
        long long mantissa = 0;
        int fraction = 0;
        bool afterPoint = false;
        for (std::size_t k = 0; k < n; ++k) {
            if (buf[k] == '.') afterPoint = true;
            else if (isDigit(buf[k])) {
                mantissa = mantissa * 10 + (buf[k] - '0');
                if (afterPoint) ++fraction;
            }
        }
        const double v = static_cast<double>(mantissa) / kPow10[fraction];
        return buf[0] == '-' ? -v : v;
    }

    double value = 0;
    const auto res = std::from_chars(buf, buf + n, value);
    if (res.ec != std::errc() || res.ptr != buf + n) return kNotANumber;
    return value;
}

bool isNumber(std::string_view text, std::string_view sep) {
    return parseNumber(text, sep) != kNotANumber;
}

Verdict judge(std::string_view valueText, std::string_view highText, std::string_view lowText,
              std::string_view sep) {
    const double high = parseNumber(highText, sep);
    if (high == kNotANumber) return Verdict::Unchanged;
    const double low = parseNumber(lowText, sep);
    if (low == kNotANumber) return Verdict::Unchanged;
    return judgeValues(parseNumber(valueText, sep), high, low);
}

Verdict judgeValues(double value, double high, double low) {
    if (value == kNotANumber) return Verdict::Fail;
    if (low > value || value > high) return Verdict::Fail;
    return Verdict::Pass;
}

const char* judgeText(Verdict v) {
    switch (v) {
    case Verdict::Pass: return "pass";
    case Verdict::Fail: return "Fail";
    case Verdict::Unchanged: break;
    }
    return "";
}

const char* judgeCaption(Verdict v) {
    switch (v) {
    case Verdict::Pass: return "Pass";
    case Verdict::Fail: return "Fail";
    case Verdict::Unchanged: break;
    }
    return "";
}

bool fixSeparator(std::string& text, std::string_view sep) {
    if (sep.empty()) return false;
    const std::string_view foreign = sep == "." ? "," : ".";
    const std::size_t at = text.find(foreign);
    if (at == std::string::npos) return false;
    text.replace(at, foreign.size(), sep);
    return true;
}

std::string limitKeyText(std::string_view editText, std::string_view key, std::string_view systemSep,
                         std::string_view userSep) {
    const std::string_view sys = firstChar(trim(systemSep));
    const std::string_view user = firstChar(userSep);
    // No second system decimal separator.
    if (!sys.empty() && key == sys && editText.find(sys) != std::string_view::npos)
        return {};
    if (key == "." || key == "," || (!user.empty() && key == user)) {
        // Either mark in the text already is a separator, the foreign one
        // only waiting for the per-frame fix-up.
        const bool hasSeparator = editText.find_first_of(".,") != std::string_view::npos ||
                                  (!user.empty() && editText.find(user) != std::string_view::npos);
        if (user.empty() || hasSeparator) return {};
        return std::string(user);
    }
    if (key.size() == 1) {
        const char c = key[0];
        if (c == '\b' || c == '\'' || c == '+' || c == '-' || c == '`' || isDigit(c))
            return std::string(key);
    }
    // The letters and signs of a unit after the number.
    static constexpr std::string_view kUnitKeys[] = {
        " ", "V", "A", "F", "H", "z", "C", "%", "k", "M", "m", "u", "n", "p",
        "\u00B5", "\u03BC", "\u03A9", "\u2126", "\u00B0"};
    for (const std::string_view unitKey : kUnitKeys)
        if (key == unitKey) return std::string(key);
    return {};
}

bool validateLimit(std::string& text, std::string& goodText, std::string_view sep) {
    const bool restore = !parseLimit(text, sep).valid;
    if (restore) text = goodText;
    goodText = text;
    return restore;
}

}  // namespace meterlink
