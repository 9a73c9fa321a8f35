#include <gtest/gtest.h>

#include <cmath>

#include "channels/formula.h"

namespace meterlink {
namespace {

const std::vector<std::string> kBench{"CH1", "CH2", "CH3", "CH4"};

// Four meters at 1 s: an input of 12 V and 2 A, an output of 5 V and 4 A.
ChannelBoard efficiencyBench() {
    ChannelBoard board;
    for (const auto& name : kBench) board.addChannel(name, 1.0);
    board.add("CH1", {10.0, true, 12.0, "V"});
    board.add("CH2", {10.0, true, 2.0, "A"});
    board.add("CH3", {10.2, true, 5.0, "V"});
    board.add("CH4", {10.5, true, 4.0, "A"});
    return board;
}

Formula parsed(const std::string& text) {
    auto result = Formula::parse(text, kBench);
    if (auto* error = std::get_if<FormulaError>(&result)) ADD_FAILURE() << text << ": " << error->text();
    return std::get<Formula>(result);
}

struct ValueCase {
    const char* name;
    const char* definition;
    double value;
    const char* unit;
};

class FormulaValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FormulaValues, evaluate_on_fresh_readings) {
    const auto& c = GetParam();
    FormulaValue v = parsed(c.definition).evaluate(efficiencyBench(), 11.0);
    ASSERT_TRUE(v.hasValue) << v.reason;
    EXPECT_NEAR(v.value, c.value, 1e-9 * std::max(1.0, std::fabs(c.value)));
    EXPECT_EQ(v.unit, c.unit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaValues,
    ::testing::Values(
        ValueCase{"power", "P = CH1 * CH2", 24, "W"},
        ValueCase{"efficiency_percent_is_a_pure_number", "EFF = (CH3*CH4)/(CH1*CH2)*100", 20.0 / 24 * 100, ""},
        ValueCase{"efficiency_with_given_unit", "EFF = (CH3*CH4)/(CH1*CH2)*100 [%]", 20.0 / 24 * 100, "%"},
        ValueCase{"resistance", "R = CH1 / CH2", 6, "\u03A9"},
        ValueCase{"current_from_power", "I = CH1*CH2 / CH3", 24.0 / 5, "A"},
        ValueCase{"difference_of_voltages", "D = CH1 - CH3", 7, "V"},
        ValueCase{"ratio_of_voltages", "G = CH3 / CH1", 5.0 / 12, ""},
        ValueCase{"scale_with_own_unit", "T = CH1 * 1000 [\u00B0C]", 12000, "\u00B0C"},
        ValueCase{"offset_keeps_the_unit", "V2 = CH1 * 2 - 0.5", 23.5, "V"},
        ValueCase{"literal_first", "V3 = 1 + CH3", 6, "V"},
        ValueCase{"unlike_units_compound", "X = CH1 * CH1", 144, "V\u00B7V"},
        ValueCase{"inverse", "Y = 1 / CH2", 0.5, "1/A"},
        ValueCase{"precedence_and_unary_minus", "Z = -CH1 + 2 * -3", -18, "V"},
        ValueCase{"lower_case_names", "p = ch1 * Ch2", 24, "W"},
        ValueCase{"abs", "A = abs(CH3 - CH1)", 7, "V"},
        ValueCase{"min_max", "M = max(CH1, CH3) - min(CH1, CH3, 6)", 7, "V"},
        ValueCase{"exponent_number", "K = CH2 * 1.5e3", 3000, "A"}),
    [](const auto& p) { return std::string(p.param.name); });

struct ErrorCase {
    const char* name;
    const char* definition;
    std::size_t position;
    const char* message;
};

class FormulaErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FormulaErrors, are_reported_with_their_position) {
    const auto& c = GetParam();
    auto result = Formula::parse(c.definition, kBench);
    auto* error = std::get_if<FormulaError>(&result);
    ASSERT_NE(error, nullptr) << c.definition;
    EXPECT_EQ(error->position, c.position) << error->text();
    EXPECT_NE(error->message.find(c.message), std::string::npos) << error->text();
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaErrors,
    ::testing::Values(
        ErrorCase{"unknown_channel", "P = CH1 * CH9", 11, "Unknown channel \"CH9\""},
        ErrorCase{"unknown_channel_before_an_operator", "P = CH9 * 2", 5, "Unknown channel \"CH9\""},
        ErrorCase{"no_equals", "CH1 * CH2", 1, "NAME = FORMULA"},
        ErrorCase{"empty_name", " = CH1", 2, "The name"},
        ErrorCase{"name_is_a_channel", "ch2 = CH1", 1, "already a channel"},
        ErrorCase{"name_is_a_function", "avg = CH1", 1, "name of a function"},
        ErrorCase{"empty_formula", "P =  ", 4, "missing"},
        ErrorCase{"dangling_operator", "P = CH1 *", 10, "ends too early"},
        ErrorCase{"two_operators", "P = CH1 * / CH2", 11, "Unexpected \"/\""},
        ErrorCase{"unclosed_bracket", "P = (CH1 * CH2", 15, "Missing \")\""},
        ErrorCase{"stray_close", "P = CH1 * CH2)", 14, "Unexpected \")\""},
        ErrorCase{"bad_number", "P = CH1 * 1.2.3", 11, "Not a number"},
        ErrorCase{"division_by_constant_zero", "P = CH1 / (2 - 2)", 9, "Division by zero"},
        ErrorCase{"unknown_function", "P = sqrt(CH1)", 5, "Unknown function"},
        ErrorCase{"avg_needs_a_channel", "P = avg(2, 3)", 9, "avg needs a channel"},
        ErrorCase{"avg_count_not_whole", "P = avg(CH1, 2.5)", 14, "whole number"},
        ErrorCase{"avg_count_zero", "P = avg(CH1, 0)", 14, "whole number"},
        ErrorCase{"abs_two_arguments", "P = abs(CH1, CH2)", 5, "Wrong number of arguments"},
        ErrorCase{"unit_not_closed", "T = CH1 [V", 9, "Missing \"]\""},
        ErrorCase{"text_after_unit", "T = CH1 [V] x", 13, "Nothing may follow"},
        ErrorCase{"empty_unit", "T = CH1 []", 9, "Empty unit"},
        ErrorCase{"comma_outside_call", "P = CH1, CH2", 8, "Unexpected \",\""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FormulaErrors, deep_nesting_and_long_text_are_refused_not_crashed) {
    std::string deep = "P = " + std::string(5000, '(') + "CH1" + std::string(5000, ')');
    EXPECT_TRUE(std::holds_alternative<FormulaError>(Formula::parse(deep.substr(0, 900), kBench)));
    EXPECT_TRUE(std::holds_alternative<FormulaError>(Formula::parse(deep, kBench)));
    std::string minuses = "P = " + std::string(900, '-') + "CH1";
    EXPECT_TRUE(std::holds_alternative<FormulaError>(Formula::parse(minuses, kBench)));
}

struct UnitCase {
    const char* name;
    const char* definition;
    const char* unitOfCh2;
    const char* message;  // "" when the units combine
};

class FormulaUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(FormulaUnits, are_checked_when_entered) {
    const auto& c = GetParam();
    auto error = parsed(c.definition).checkUnits({{"CH1", "V"}, {"ch2", c.unitOfCh2}});
    if (std::string(c.message).empty()) {
        EXPECT_FALSE(error) << error->text();
    } else {
        ASSERT_TRUE(error);
        EXPECT_NE(error->text().find(c.message), std::string::npos) << error->text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaUnits,
    ::testing::Values(UnitCase{"same_units_add", "S = CH1 + CH2", "V", ""},
                      UnitCase{"volts_and_amps_do_not_add", "S = CH1 + CH2", "A", "Units differ (V + A) at position 9"},
                      UnitCase{"pure_number_and_volts", "S = CH1 - CH1/CH2", "V", "Units differ (V - a pure number)"},
                      UnitCase{"division_by_a_reading_is_no_entry_error", "S = CH1 / (CH2 - CH2)", "A", ""},
                      UnitCase{"min_of_unlike_units", "S = min(CH1, CH2)", "Hz", "Units differ"}),
    [](const auto& p) { return std::string(p.param.name); });

struct RunCase {
    const char* name;
    const char* definition;
    double now;
    const char* reason;
};

class FormulaNoValue : public ::testing::TestWithParam<RunCase> {};

// Readings of CH1 at 10 s (1 s interval), none of CH2 yet, CH3 overloaded,
// CH4 reads 0 A.
TEST_P(FormulaNoValue, instead_of_a_stale_or_wrong_number) {
    const auto& c = GetParam();
    ChannelBoard board;
    for (const auto& name : kBench) board.addChannel(name, 1.0);
    board.keepReadings("CH1", 3);
    board.add("CH1", {9.0, true, 12.0, "V"});
    board.add("CH1", {10.0, true, 12.0, "V"});
    board.add("CH3", {10.0, false, 0, "V"});
    board.add("CH4", {10.0, true, 0.0, "A"});
    FormulaValue v = parsed(c.definition).evaluate(board, c.now);
    EXPECT_FALSE(v.hasValue) << c.definition << " gave " << v.value;
    EXPECT_NE(v.reason.find(c.reason), std::string::npos) << v.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaNoValue,
    ::testing::Values(RunCase{"older_than_twice_the_interval", "P = CH1 * 2", 12.01, "CH1 has no recent reading"},
                      RunCase{"never_read", "P = CH1 * CH2", 10.5, "CH2 has no reading"},
                      RunCase{"overload", "P = CH3 * CH4", 10.5, "CH3 shows no number"},
                      RunCase{"division_by_a_zero_reading", "R = CH1 / CH4", 10.5, "Division by zero"},
                      RunCase{"average_of_more_than_seen", "A = avg(CH1, 3)", 10.5, "fewer than 3"},
                      RunCase{"units_differ_at_run_time", "S = CH1 + CH4", 10.5, "Units differ (V + A)"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FormulaAverage, is_over_the_last_n_readings_and_they_are_kept) {
    Formula f = parsed("A = avg(CH1, 3)");
    ChannelBoard board;
    board.addChannel("CH1", 1.0);
    for (const auto& [channel, count] : f.readingsNeeded()) board.keepReadings(channel, count);
    for (int i = 1; i <= 5; ++i) board.add("CH1", {double(i), true, double(i), "A"});
    FormulaValue v = f.evaluate(board, 5.5);
    ASSERT_TRUE(v.hasValue) << v.reason;
    EXPECT_DOUBLE_EQ(v.value, 4.0);
    EXPECT_EQ(v.unit, "A");
    EXPECT_EQ(board.history("CH1")->size(), 3u);
}

TEST(FormulaAverage, of_a_unit_that_changed_is_no_value) {
    ChannelBoard board;
    board.addChannel("CH1", 1.0);
    board.keepReadings("CH1", 2);
    board.add("CH1", {1, true, 1.0, "V"});
    board.add("CH1", {2, true, 1.0, "A"});
    EXPECT_FALSE(parsed("A = avg(CH1, 2)").evaluate(board, 2).hasValue);
}

}  // namespace
}  // namespace meterlink
