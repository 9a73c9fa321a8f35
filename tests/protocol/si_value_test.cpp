#include "protocol/si_value.h"

#include <gtest/gtest.h>

#include <string>

namespace meterlink {
namespace {

struct SiCase {
    const char* name;
    const char* value;
    const char* unit;
    const char* sep;
    bool hasValue;
    bool overload;
    double want;        // compared exactly: the literal is the double nearest the shown decimal
    const char* siUnit;
};

class SiValueTable : public ::testing::TestWithParam<SiCase> {};

TEST_P(SiValueTable, ConvertsToTheBaseUnit) {
    const SiCase& c = GetParam();
    const SiValue v = toSiValue(c.value, c.unit, c.sep);
    EXPECT_EQ(v.hasValue, c.hasValue);
    EXPECT_EQ(v.overload, c.overload);
    if (c.hasValue) {
        EXPECT_EQ(v.value, c.want);
    }
    EXPECT_EQ(std::string(v.unit), c.siUnit);
}

const SiCase kCases[] = {
    // Every unit text the decoder makes, each with its prefix.
    {"V_plain", "5.999", "V", ".", true, false, 5.999, "V"},
    {"mV_negative_leading_zero", "-034.6", "mV", ".", true, false, -0.0346, "V"},
    {"uV", "123.4", "uV", ".", true, false, 0.0001234, "V"},
    {"nV", "12.34", "nV", ".", true, false, 1.234e-8, "V"},
    {"A_plain", "1.234", "A", ".", true, false, 1.234, "A"},
    {"mA", "59.99", "mA", ".", true, false, 0.05999, "A"},
    {"uA", "-0.001", "uA", ".", true, false, -1e-9, "A"},
    {"nA", "600.0", "nA", ".", true, false, 6e-7, "A"},
    {"ohm_plain", "599.9", "*", ".", true, false, 599.9, "\u03A9"},
    {"kilo_ohm_is_exact", "0.015", "k*", ".", true, false, 15, "\u03A9"},
    {"mega_ohm", "5.999", "M*", ".", true, false, 5999000, "\u03A9"},
    {"farad", "1.000", "F", ".", true, false, 1, "F"},
    {"nF", "9.999", "nF", ".", true, false, 9.999e-9, "F"},
    {"uF", "99.99", "uF", ".", true, false, 9.999e-5, "F"},
    {"mF", "0.060", "mF", ".", true, false, 6e-5, "F"},
    {"celsius", "-012.5", "#", ".", true, false, -12.5, "\u00B0C"},
    {"fahrenheit", "0451", "?", ".", true, false, 451, "\u00B0F"},
    {"hertz", "50.00", "Hz", ".", true, false, 50, "Hz"},
    {"duty_percent", "49.9", "%", ".", true, false, 49.9, "%"},
    {"no_unit_keeps_the_number", "0.123", "", ".", true, false, 0.123, ""},
    // Separators.
    {"comma_separator", "5,000", "V", ",", true, false, 5, "V"},
    {"comma_separator_mV", "-034,6", "mV", ",", true, false, -0.0346, "V"},
    {"multibyte_separator", "1\u066B5", "V", "\u066B", true, false, 1.5, "V"},
    {"foreign_point_is_not_a_number", "1.5", "V", ",", false, false, 0, "V"},
    {"two_points_is_not_a_number", "1.2.3", "V", ".", false, false, 0, "V"},
    {"negative_zero_is_zero", "-0.000", "V", ".", true, false, 0, "V"},
    {"blank_is_not_a_number", "", "V", ".", false, false, 0, "V"},
    {"sign_alone_is_not_a_number", "-", "V", ".", false, false, 0, "V"},
    {"letters_are_not_a_number", "1a", "V", ".", false, false, 0, "V"},
    // Overload in every form the decimal marks give it.
    {"overload_no_point", "0L", "M*", ".", false, true, 0, "\u03A9"},
    {"overload_point_first", ".0L", "k*", ".", false, true, 0, "\u03A9"},
    {"overload_point_middle", "0.L", "V", ".", false, true, 0, "V"},
    {"overload_point_last", "0L.", "mV", ".", false, true, 0, "V"},
    {"overload_comma", "0,L", "V", ",", false, true, 0, "V"},
    {"overload_letter_O", "OL", "*", ".", false, true, 0, "\u03A9"},
    {"underflow_has_no_value", "UL", "Hz", ".", false, false, 0, "Hz"},
    {"overload_negative", "-0.L", "V", ".", false, true, 0, "V"},
    // Power and its logarithmic forms: watts take a prefix, decibels keep
    // the shown number under their own unit.
    {"watt", "12.34", "W", ".", true, false, 12.34, "W"},
    {"milliwatt", "250.0", "mW", ".", true, false, 0.25, "W"},
    {"decibel_negative", "-12.5", "dB", ".", true, false, -12.5, "dB"},
    {"dBm_is_not_milli_dB", "003.0", "dBm", ".", true, false, 3, "dBm"},
    {"dBm_comma", "-0,5", "dBm", ",", true, false, -0.5, "dBm"},
    {"prefix_on_decibel_is_unknown", "1.5", "kdB", ".", true, false, 1.5, ""},
    // Units the decoder does not make: no symbol guessed.
    {"unknown_unit", "1.5", "rpm", ".", true, false, 1.5, ""},
    {"prefix_on_percent_is_unknown", "1.5", "k%", ".", true, false, 1.5, ""},
};

INSTANTIATE_TEST_SUITE_P(Readings, SiValueTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SiCase>& i) { return std::string(i.param.name); });

TEST(SiValue, EveryShownDigitCountIsExact) {
    // Sweeping all four-digit displays in every point place: the result must be
    // the double a decimal literal would give, never one ulp off.
    for (int count = 0; count <= 9999; count += 7) {
        for (int places = 0; places <= 3; ++places) {
            std::string digits = std::to_string(count);
            digits.insert(0, 4 - digits.size(), '0');
            std::string shown = digits;
            if (places > 0) shown.insert(4 - places, ".");
            const std::string decimal = digits.substr(0, 4 - places) + "." + digits.substr(4 - places) + "e-3";
            EXPECT_EQ(toSiValue(shown, "mV", ".").value, std::stod(decimal)) << shown << " mV";
        }
    }
}

}  // namespace
}  // namespace meterlink
