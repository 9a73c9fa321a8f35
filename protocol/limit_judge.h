#pragma once
// Pass/Fail against the user's high and low limits, and the guards on the two
// limit edits. Numbers are parsed with the separator passed in.

#include <string>
#include <string_view>

namespace meterlink {

// The parse default: a text that is not a number yields this, and a result
// equal to it counts as not a number.
constexpr double kNotANumber = -999999.0;

// Parses a signed decimal number (optional exponent) with the given decimal
// separator; surrounding blanks are allowed. Returns kNotANumber otherwise.
double parseNumber(std::string_view text, std::string_view decimalSep);
// The text without the blanks and tabs around it.
std::string_view trimBlanks(std::string_view text);
bool isNumber(std::string_view text, std::string_view decimalSep);

enum class Verdict { Unchanged, Pass, Fail };

// Unchanged when a limit is not a number; Fail when the value is not a number
// (overload); otherwise Pass exactly when low <= value <= high.
Verdict judge(std::string_view valueText, std::string_view highText,
              std::string_view lowText, std::string_view decimalSep);

// The same with the three numbers already parsed (none is kNotANumber
// except possibly value, which then fails).
Verdict judgeValues(double value, double high, double low);

// "pass" (lower case, as logged) or "Fail"; empty for Unchanged.
const char* judgeText(Verdict v);
// The caption of the verdict circle: "Pass" or "Fail".
const char* judgeCaption(Verdict v);

// Rewrites the first foreign separator in a limit text to the user's
// separator ("," is foreign when the separator is ".", "." otherwise).
// Returns true when the text changed.
bool fixSeparator(std::string& text, std::string_view decimalSep);

// Key filter of the limit edits: the text a typed key puts into the edit,
// empty when the key is refused. Digits, signs and the letters and signs of
// a unit pass. key is one character (UTF-8); "\b" is
// backspace. A typed "." or "," means a decimal mark whatever the keyboard,
// so it comes back as the user's separator; a second separator is refused.
// systemSep and userSep are separator texts; their first character counts.
std::string limitKeyText(std::string_view editText, std::string_view key,
                         std::string_view systemSep, std::string_view userSep);

// The 500 ms validation: a text that is not a limit (a number, optionally
// with a unit, see limit_value.h) is replaced by the last valid one; whatever
// stands afterwards becomes the last valid text.
// Returns true when the text was restored.
bool validateLimit(std::string& text, std::string& goodText, std::string_view decimalSep);

}  // namespace meterlink
