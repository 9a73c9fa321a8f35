// Limits with a unit judge the reading in SI units; limits without one judge
// the display number as before.

#include "protocol/limit_value.h"

#include <gtest/gtest.h>

#include <string>

namespace meterlink {
namespace {

struct UnitJudgeCase {
    const char* name;
    const char* high;
    const char* low;
    const char* value;   // as shown
    const char* unit;    // as the decoder makes it
    Verdict expected;
    const char* sep = ".";
};

void PrintTo(const UnitJudgeCase& c, std::ostream* os) { *os << c.name; }

class UnitJudge : public ::testing::TestWithParam<UnitJudgeCase> {};

TEST_P(UnitJudge, GivesTheVerdict) {
    const UnitJudgeCase& c = GetParam();
    EXPECT_EQ(judgeWithUnits(c.value, c.unit, c.high, c.low, c.sep), c.expected);
}

constexpr Verdict P = Verdict::Pass, F = Verdict::Fail, U = Verdict::Unchanged;

const UnitJudgeCase kCases[] = {
    {"dead_rail_in_millivolts_fails", "5.5 V", "4.5 V", "05.20", "mV", F},
    {"rail_in_volts_passes", "5.5V", "4.5V", "5.201", "V", P},
    {"rail_below_low_fails", "5.5 V", "4.5 V", "4.499", "V", F},
    {"limit_equal_to_reading_passes", "5.5 V", "4.5 V", "5.500", "V", P},
    {"millivolt_limits_judge_volts", "220 mV", "-220 mV", "0.150", "V", P},
    {"volts_above_millivolt_limit_fail", "220 mV", "-220 mV", "0.221", "V", F},
    {"kilo_alone_is_kilo_ohm", "1.2 k", "1 k", "1.150", "k*", P},
    {"ohms_against_kilo_ohm_limits", "1.2 k\u03A9", "1 k\u03A9", "1150", "*", P},
    {"ohm_sign_u2126_too", "1.2 k\u2126", "1 k\u2126", "1.250", "k*", F},
    {"megohms_against_kilo_ohm_limits_fail", "1.2 k", "1 k", "1.150", "M*", F},
    {"volts_against_ohm_limits_fail", "1.2 k", "0 k", "1.000", "V", F},
    {"overload_fails", "5.5 V", "4.5 V", "0.L", "V", F},
    {"celsius", "30 \u00B0C", "20 \u00B0C", "023.5", "#", P},
    {"fahrenheit_against_celsius_limits_fail", "30 \u00B0C", "20 \u00B0C", "075.2", "?", F},
    {"hertz_against_kilohertz", "0.06 kHz", "40 Hz", "50.00", "Hz", P},
    {"duty_cycle", "60 %", "40 %", "050.0", "%", P},
    {"micro_amps", "500 \u00B5A", "0 \u00B5A", "0.400", "mA", P},
    {"comma_separator", "5,5 V", "4,5 V", "5,201", "V", P, ","},
    {"bare_low_beside_unit_high_counts_in_that_unit", "5.5 V", "0", "5.201", "V", P},
    {"bare_low_beside_unit_high_below_fails", "5.5 V", "0", "-0.001", "V", F},
    {"limits_of_two_quantities_fail", "5.5 V", "1 k", "1.000", "V", F},
    {"unknown_unit_judges_nothing", "5.5 Q", "4.5 V", "5.000", "V", U},
    {"parse_default_with_unit_judges_nothing", "5.5 V", "-999999 V", "5.000", "V", U},
    {"no_unit_compares_display_numbers_as_before", "6000", "-6000", "05.20", "mV", P},
    {"no_unit_overload_fails", "6000", "-6000", "0.L", "*", F},
    {"no_unit_empty_limit_judges_nothing", "", "-6000", "1.000", "V", U},
};

INSTANTIATE_TEST_SUITE_P(Limits, UnitJudge, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<UnitJudgeCase>& p) { return std::string(p.param.name); });

TEST(ParseLimit, GivesTheSiValueAndUnit) {
    const struct {
        const char* text;
        bool hasUnit;
        double value;
        const char* unit;
    } cases[] = {
        {"5.5", false, 5.5, ""},       {" -4.5 ", false, -4.5, ""},  {"220 mV", true, 0.22, "V"},
        {"1.2 k", true, 1200, "\u03A9"}, {"2M", true, 2e6, "\u03A9"}, {"1e3 mV", true, 1, "V"},
        {"25\u00B0C", true, 25, "\u00B0C"}, {"47 nF", true, 47e-9, "F"},
    };
    for (const auto& c : cases) {
        const LimitValue v = parseLimit(c.text, ".");
        ASSERT_TRUE(v.valid) << c.text;
        EXPECT_EQ(v.hasUnit, c.hasUnit) << c.text;
        EXPECT_DOUBLE_EQ(v.value, c.value) << c.text;
        EXPECT_EQ(v.unit, c.unit) << c.text;
    }
    for (const char* bad : {"", "V", "5.5 m", "5.5 Vx", "-999999", "5..5 V"}) EXPECT_FALSE(parseLimit(bad, ".").valid) << bad;
}

// The limits a row carries are SI values: bare limits count in the unit the
// reading is shown in.
TEST(LimitsInSi, ScaleBareLimitsByTheReadingsUnit) {
    const struct {
        const char* high;
        const char* low;
        const char* unit;
        std::optional<double> siHigh, siLow;
    } cases[] = {
        {"6000", "-6000", "mV", 6.0, -6.0},
        {"6000", "-6000", "V", 6000.0, -6000.0},
        {"1.5", "0", "k*", 1500.0, 0.0},
        {"5.5 V", "4.5", "mV", 5.5, 4.5},
        {"12.5 k", "10 k", "M*", 12500.0, 10000.0},
        {"", "-6000", "V", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const SiLimits l = limitsInSi(parseLimit(c.high, "."), parseLimit(c.low, "."), c.unit);
        EXPECT_EQ(l.high, c.siHigh) << c.high << " " << c.unit;
        EXPECT_EQ(l.low, c.siLow) << c.low << " " << c.unit;
    }
}

}  // namespace
}  // namespace meterlink
