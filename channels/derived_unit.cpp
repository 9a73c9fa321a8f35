#include "channels/derived_unit.h"

#include <array>

namespace meterlink {

namespace {

struct UnitRule {
    const char* left;
    char op;
    const char* right;
    const char* result;
};

// Ohm's law and power, both ways round; the sign of the ohm is U+03A9 as in
// the exports.
constexpr std::array<UnitRule, 10> kUnitRules{{
    {"V", '*', "A", "W"},
    {"A", '*', "V", "W"},
    {"V", '/', "A", "\u03A9"},
    {"V", '/', "\u03A9", "A"},
    {"A", '*', "\u03A9", "V"},
    {"\u03A9", '*', "A", "V"},
    {"W", '/', "V", "A"},
    {"W", '/', "A", "V"},
    {"A", '/', "V", "S"},
    {"V", '/', "S", "A"},
}};

const char* ruleFor(const std::string& a, char op, const std::string& b) {
    for (const auto& rule : kUnitRules) {
        if (rule.op == op && a == rule.left && b == rule.right) return rule.result;
    }
    return nullptr;
}

bool isCompound(const std::string& unit) {
    return unit.find('/') != std::string::npos || unit.find("\u00B7") != std::string::npos;
}

std::string grouped(const std::string& unit) { return isCompound(unit) ? "(" + unit + ")" : unit; }

}  // namespace

std::string productUnit(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (const char* named = ruleFor(a, '*', b)) return named;
    return grouped(a) + "\u00B7" + grouped(b);
}

std::string quotientUnit(const std::string& a, const std::string& b) {
    if (b.empty()) return a;
    if (a == b) return "";
    if (const char* named = ruleFor(a, '/', b)) return named;
    return (a.empty() ? std::string("1") : grouped(a)) + "/" + grouped(b);
}

std::optional<std::string> sumUnit(const std::string& a, const std::string& b) {
    if (a == b) return a;
    return std::nullopt;
}

}  // namespace meterlink
