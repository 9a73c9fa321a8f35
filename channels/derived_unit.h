#pragma once
// Units of calculated channels: what a product, quotient or sum of two
// readings is measured in. Units are SI symbols in UTF-8 ("V", "A", "Ω", "W",
// "Hz", "°C", "%"), "" for a pure number.

#include <optional>
#include <string>

namespace meterlink {

// The unit of a * b or a / b: a named unit where the table knows one (V×A is
// W, V/A is Ω), a pure number for u/u, else a compound such as "V·Hz".
std::string productUnit(const std::string& a, const std::string& b);
std::string quotientUnit(const std::string& a, const std::string& b);

// The unit of a + b or a - b: only the same units add; nothing otherwise.
std::optional<std::string> sumUnit(const std::string& a, const std::string& b);

}  // namespace meterlink
