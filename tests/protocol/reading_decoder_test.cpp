#include "frame_helpers.h"
#include "protocol/reading_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace meterlink {
namespace {

using test::frameOf;
using test::raw;

// Status bits by name.
constexpr std::uint8_t AUTO = 0x20, DC = 0x10, AC = 0x08, REL = 0x04, HOLD = 0x02;  // byte 8
constexpr std::uint8_t F97 = 0x80, MAX = 0x20, MIN = 0x10, BATT = 0x04, NANO = 0x02;  // byte 9
constexpr std::uint8_t MICRO = 0x80, MILLI = 0x40, KILO = 0x20, MEGA = 0x10, CTN = 0x08, DIODE = 0x04,
                       DUTY = 0x02;  // byte 10
constexpr std::uint8_t VOLT = 0x80, AMP = 0x40, OHM = 0x20, HZ = 0x08, FARAD = 0x04, DEGC = 0x02,
                       DEGF = 0x01;  // byte 11

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

struct DecodeCase {
    const char* name;
    FrameFields fields;
    const char* value;
    const char* function;
    const char* unit;
    double count;
    const char* chart;   // ChartValue with the factor's decimals
    double axis;         // axis maximum afterwards (6000 when no rule matched)
    int rule;
    std::int32_t fullCount;
};

// Shown by --gtest_list_tests and in failures instead of the case's bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, FrameGivesTheReadingTheMeterShowed) {
    const DecodeCase& c = GetParam();
    ReadingDecoder d(6000);
    ASSERT_EQ(d.decode(frameOf(c.fields), "."), DecodeResult::Decoded);
    const MeterReading& r = d.reading();
    EXPECT_EQ(r.ValueText, c.value);
    EXPECT_EQ(r.FunctionText, c.function);
    EXPECT_EQ(r.UnitText, c.unit);
    EXPECT_EQ(r.ReadingValue, c.count);
    EXPECT_EQ(d.lastScale().rule, c.rule);
    EXPECT_EQ(fixed(r.ChartValue, d.lastScale().factorDecimals), c.chart);
    EXPECT_EQ(d.axis().maximum, c.axis);
    EXPECT_EQ(d.axis().minimum, -c.axis);
    EXPECT_EQ(d.axis().progressMaximum, static_cast<int>(c.axis));
    EXPECT_EQ(r.FullCount, c.fullCount);
    EXPECT_TRUE(r.NewReadingFlag);
}

// One frame for every range rule (the last matching rule is the one named),
// plus the layouts and overrides the decoder must get right.
const DecodeCase kCases[] = {
    {"r1_acv_p1", raw('+', "5999", '1', AUTO | AC, 0, 0, VOLT), "5.999", "AC", "V", 5999, "5.999", 6, 1, 6000},
    {"r2_acv_p2", raw('+', "5999", '2', AUTO | AC, 0, 0, VOLT), "59.99", "AC", "V", 5999, "59.99", 60, 2, 6000},
    {"r3_acmv_p3", raw('+', "1234", '4', AUTO | AC, 0, MILLI, VOLT), "123.4", "AC", "mV", 1234, "123.4", 600, 3, 6000},
    {"r4_acv_nopoint", raw('+', "0750", '0', AC, 0, 0, VOLT), "0750", "AC", "V", 750, "750", 750, 4, 6000},
    {"r5_dcmv_p3", raw('+', "1234", '4', AUTO | DC, 0, MILLI, VOLT), "123.4", "DC", "mV", 1234, "123.4", 600, 5, 6000},
    {"r6_dcv_p1", raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT), "5.999", "DC", "V", 5999, "5.999", 6, 6, 6000},
    {"r7_dcv_p2", raw('-', "1234", '2', AUTO | DC, 0, 0, VOLT), "-12.34", "DC", "V", -1234, "-12.34", 60, 7, 6000},
    {"r8_dcv_p3", raw('+', "5999", '4', AUTO | DC, 0, 0, VOLT), "599.9", "DC", "V", 5999, "599.9", 600, 8, 6000},
    {"r9_dcv_nopoint", raw('+', "1000", '0', DC, 0, 0, VOLT), "1000", "DC", "V", 1000, "1000", 1000, 9, 6000},
    {"r10_nf_p2", raw('+', "3999", '2', AUTO, NANO, 0, FARAD), "39.99", "CAP", "nF", 3999, "39.99", 60, 10, 6000},
    {"r11_nf_p3", raw('+', "3999", '4', AUTO, NANO, 0, FARAD), "399.9", "CAP", "nF", 3999, "399.9", 600, 11, 6000},
    {"r12_uf_p1", raw('+', "3999", '1', AUTO, 0, MICRO, FARAD), "3.999", "CAP", "uF", 3999, "3.999", 6, 12, 6000},
    {"r13_uf_p2", raw('+', "3999", '2', AUTO, 0, MICRO, FARAD), "39.99", "CAP", "uF", 3999, "39.99", 60, 13, 6000},
    {"r14_uf_p3", raw('+', "3999", '4', AUTO, 0, MICRO, FARAD), "399.9", "CAP", "uF", 3999, "399.9", 600, 14, 6000},
    {"r15_mf_nopoint", raw('+', "3999", '0', AUTO, 0, MILLI, FARAD), "3999", "CAP", "mF", 3999, "3999", 6000, 15, 6000},
    {"r16_continuity", raw('+', "0123", '4', 0, 0, CTN, OHM), "012.3", "OHM", "*", 123, "12.3", 600, 16, 6000},
    {"r17_ohm_p3", raw('+', "5999", '4', AUTO, 0, 0, OHM), "599.9", "OHM", "*", 5999, "599.9", 600, 17, 6000},
    {"r18_kohm_p1", raw('+', "5999", '1', AUTO, 0, KILO, OHM), "5.999", "OHM", "k*", 5999, "5.999", 6, 18, 6000},
    {"r19_kohm_p2", raw('+', "5999", '2', AUTO, 0, KILO, OHM), "59.99", "OHM", "k*", 5999, "59.99", 60, 19, 6000},
    {"r20_kohm_p3", raw('+', "5999", '4', AUTO, 0, KILO, OHM), "599.9", "OHM", "k*", 5999, "599.9", 600, 20, 6000},
    {"r21_mohm_p1", raw('+', "5999", '1', AUTO, 0, MEGA, OHM), "5.999", "OHM", "M*", 5999, "5.999", 6, 21, 6000},
    {"r22_mohm_p2", raw('+', "5999", '2', AUTO, 0, MEGA, OHM), "59.99", "OHM", "M*", 5999, "59.99", 60, 22, 6000},
    {"r23_flag97_over_rule9", raw('+', "1234", '0', DC, F97, 0, VOLT), "1234", "DC", "V", 1234, "1.234", 6, 23, 6000},
    {"r24_celsius", raw('+', "0025", '0', AUTO, 0, 0, DEGC), "0025", "TMP", "#", 25, "25", 1000, 24, 1000},
    {"r25_fahrenheit", raw('+', "0077", '0', AUTO, 0, 0, DEGF), "0077", "TMP", "?", 77, "77", 1832, 25, 6000},
    {"r26_hz_p1", raw('+', "9999", '1', AUTO, 0, 0, HZ), "9.999", "Freq", "Hz", 9999, "9.999", 10, 26, 1000},
    {"r27_hz_p2", raw('+', "9999", '2', AUTO, 0, 0, HZ), "99.99", "Freq", "Hz", 9999, "99.99", 100, 27, 1000},
    {"r28_hz_p3", raw('+', "9999", '4', AUTO, 0, 0, HZ), "999.9", "Freq", "Hz", 9999, "999.9", 1000, 28, 1000},
    {"r29_khz_p1", raw('+', "9999", '1', AUTO, 0, KILO, HZ), "9.999", "Freq", "kHz", 9999, "9.999", 10, 29, 1000},
    {"r30_khz_p2", raw('+', "5000", '2', AUTO, 0, KILO, HZ), "50.00", "Freq", "kHz", 5000, "50.00", 100, 30, 1000},
    {"r31_khz_p3", raw('+', "9999", '4', AUTO, 0, KILO, HZ), "999.9", "Freq", "kHz", 9999, "999.9", 1000, 31, 1000},
    {"r32_mhz_p1", raw('+', "9999", '1', AUTO, 0, MEGA, HZ), "9.999", "Freq", "MHz", 9999, "9.999", 10, 32, 1000},
    {"r33_duty", raw('+', "0500", '4', AUTO, 0, DUTY, 0), "050.0", "DutyCycle", "%", 500, "50.0", 100, 33, 100},
    {"r34_dcua_p3", raw('+', "5999", '4', AUTO | DC, 0, MICRO, AMP), "599.9", "DC", "uA", 5999, "599.9", 600, 34, 6000},
    {"r35_dcua_nopoint_after_rule9", raw('+', "5999", '0', AUTO | DC, 0, MICRO, AMP), "5999", "DC", "uA", 5999, "5999", 6000, 35, 6000},
    {"r36_acua_p3", raw('+', "5999", '4', AUTO | AC, 0, MICRO, AMP), "599.9", "AC", "uA", 5999, "599.9", 600, 36, 6000},
    {"r37_acua_nopoint", raw('+', "5999", '0', AUTO | AC, 0, MICRO, AMP), "5999", "AC", "uA", 5999, "5999", 6000, 37, 6000},
    {"r38_dcma_p2", raw('+', "5999", '2', AUTO | DC, 0, MILLI, AMP), "59.99", "DC", "mA", 5999, "59.99", 60, 38, 6000},
    {"r39_dcma_p3", raw('+', "5999", '4', AUTO | DC, 0, MILLI, AMP), "599.9", "DC", "mA", 5999, "599.9", 600, 39, 6000},
    {"r40_acma_p2", raw('+', "5999", '2', AUTO | AC, 0, MILLI, AMP), "59.99", "AC", "mA", 5999, "59.99", 60, 40, 6000},
    {"r41_acma_p3", raw('+', "5999", '4', AUTO | AC, 0, MILLI, AMP), "599.9", "AC", "mA", 5999, "599.9", 600, 41, 6000},
    {"r42_dca_p1", raw('+', "5999", '1', AUTO | DC, 0, 0, AMP), "5.999", "DC", "A", 5999, "5.999", 6, 42, 6000},
    {"r43_dca_p2", raw('+', "0999", '2', AUTO | DC, 0, 0, AMP), "09.99", "DC", "A", 999, "9.99", 10, 43, 6000},
    {"r44_aca_p1", raw('+', "5999", '1', AUTO | AC, 0, 0, AMP), "5.999", "AC", "A", 5999, "5.999", 6, 44, 6000},
    {"r45_aca_p2", raw('+', "0999", '2', AUTO | AC, 0, 0, AMP), "09.99", "AC", "A", 999, "9.99", 10, 45, 6000},
    {"r48_mhz_p2", raw('+', "1234", '2', AUTO, 0, MEGA, HZ), "12.34", "Freq", "MHz", 1234, "12.34", 100, 48, 1000},
    // No rule: the decimal point alone gives the scale.
    {"mv_point2_is_shown_value", raw('+', "0520", '2', AUTO | DC, 0, MILLI, VOLT), "05.20", "DC", "mV", 520, "5.20", 60, 0, 6000},
    {"mv_point1_is_shown_value", raw('-', "0520", '1', AUTO | DC, 0, MILLI, VOLT), "-0.520", "DC", "mV", -520, "-0.520", 6, 0, 6000},
    {"point_alone_ohm_p1", raw('+', "0123", '1', AUTO, 0, 0, OHM), "0.123", "OHM", "*", 123, "0.123", 6, 0, 6000},
    // Point code 3 (and 5-9) shows no mark.
    {"point_code_3", raw('-', "0123", '3', 0, 0, 0, 0), "-0123", "", "", -123, "-123", 6000, 0, 6000},
    {"point_code_9", raw('+', "0123", '9', 0, 0, 0, 0), "0123", "", "", 123, "123", 6000, 0, 6000},
    // Overload shows 0L without the sign and counts FullCount + 1.
    {"overload_pos", raw('+', "?0:?", '2', AUTO, 0, 0, OHM), "0.L", "OHM", "*", 6001, "60.01", 60, 0, 6000},
    {"overload_neg", raw('-', "?0:?", '2', AUTO | DC, 0, 0, VOLT), "0.L", "DC", "V", -6001, "-60.01", 60, 7, 6000},
    {"overload_p1", raw('+', "?0:?", '1', AUTO | DC, 0, 0, VOLT), ".0L", "DC", "V", 6001, "6.001", 6, 6, 6000},
    // Text precedence.
    {"ohm_beats_continuity", raw('+', "0005", '0', 0, 0, CTN, OHM), "0005", "OHM", "*", 5, "5", 6000, 0, 6000},
    {"dc_beats_diode", raw('+', "0512", '1', DC, 0, DIODE, 0), "0.512", "DC", "V", 512, "0.512", 6, 6, 6000},
    {"diode_alone", raw('+', "0512", '1', 0, 0, DIODE, 0), "0.512", "Diode", "V", 512, "0.512", 6, 0, 6000},
    {"fahrenheit_beats_celsius", raw('+', "0100", '0', 0, 0, 0, DEGC | DEGF), "0100", "TMP", "?", 100, "100", 1832, 25, 6000},
    {"nano_amp", raw('+', "1234", '0', DC, NANO, 0, AMP), "1234", "DC", "nA", 1234, "1234", 1000, 9, 6000},
    {"duty_beats_freq", raw('+', "0500", '4', 0, 0, DUTY, HZ), "050.0", "DutyCycle", "%", 500, "50.0", 100, 33, 100},
};

INSTANTIATE_TEST_SUITE_P(Frames, DecodeTable, ::testing::ValuesIn(kCases),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(ReadingDecoder, StatusTextsAndIndicators) {
    ReadingDecoder d;
    d.decode(frameOf(raw('-', "0123", '2', HOLD | REL | DC, MAX | MIN | BATT, 0, VOLT)), ".");
    const LcdState& lcd = d.lcd();
    EXPECT_EQ(d.reading().ValueText, "-01.23");
    EXPECT_EQ(d.reading().AutoText, "MANU");
    for (Lcd on : {Lcd::FH, Lcd::Hold, Lcd::REL, Lcd::Dc1, Lcd::Max, Lcd::Min, Lcd::Batt, Lcd::V, Lcd::P2, Lcd::Send})
        EXPECT_TRUE(lcd.shown(on)) << static_cast<int>(on);
    for (Lcd off : {Lcd::Auto, Lcd::AC, Lcd::P1, Lcd::P3, Lcd::A, Lcd::Ohm})
        EXPECT_FALSE(lcd.shown(off)) << static_cast<int>(off);
    EXPECT_EQ(lcd.digits, (std::array<char, 4>{'0', '1', '2', '3'}));
}

TEST(ReadingDecoder, EachFrameRebuildsTheLcd) {
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "1234", '2', AUTO | HOLD, 0, KILO, OHM)), ".");
    d.decode(frameOf(raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT)), ".");
    const LcdState& lcd = d.lcd();
    for (Lcd off : {Lcd::Ohm, Lcd::Kilo, Lcd::Hold, Lcd::P2, Lcd::P3})
        EXPECT_FALSE(lcd.shown(off)) << static_cast<int>(off);
    for (Lcd on : {Lcd::Dc1, Lcd::V, Lcd::P1, Lcd::Auto, Lcd::Send})
        EXPECT_TRUE(lcd.shown(on)) << static_cast<int>(on);
}

TEST(ReadingDecoder, OverloadDigitsAndDiodeIndicators) {
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "?0:?", '2', 0, 0, DIODE, 0)), ".");
    EXPECT_EQ(d.lcd().digits, (std::array<char, 4>{'\0', '0', '@', '\0'}));
    EXPECT_TRUE(d.lcd().shown(Lcd::P2));
    EXPECT_TRUE(d.lcd().shown(Lcd::DI));
    EXPECT_TRUE(d.lcd().shown(Lcd::V));
}

TEST(ReadingDecoder, SeparatorIsTheCallersAtEveryFrame) {
    ReadingDecoder d;
    const MeterFrame f = frameOf(raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT));
    d.decode(f, ",");
    EXPECT_EQ(d.reading().ValueText, "5,999");
    d.decode(f, "\u066B");   // a multi-byte separator
    EXPECT_EQ(d.reading().ValueText, "5\u066B999");
    d.decode(f, ".");
    EXPECT_EQ(d.reading().ValueText, "5.999");
}

TEST(ReadingDecoder, OverloadUsesThePreviousFramesFullCount) {
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "0500", '4', AUTO, 0, DUTY, 0)), ".");
    EXPECT_EQ(d.reading().FullCount, 100);
    const MeterFrame volts = frameOf(raw('+', "?0:?", '1', AUTO | DC, 0, 0, VOLT));
    d.decode(volts, ".");
    EXPECT_EQ(d.reading().ReadingValue, 101);
    d.decode(volts, ".");
    EXPECT_EQ(d.reading().ReadingValue, 6001);
}

TEST(ReadingDecoder, HexLetterInDigitOrPointDropsTheFrameUntouched) {
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT)), ".");
    const MeterReading before = d.reading();
    const LcdState lcdBefore = d.lcd();
    const FrameFields bad[] = {
        raw('+', "5:99", '1', AUTO, 0, KILO, OHM),   // ':' has low nibble A
        raw('+', "599?", '1', AUTO, 0, KILO, OHM),   // F outside the first place is no overload
        raw('+', "5999", 'J', AUTO, 0, KILO, OHM),   // point nibble A
        raw('+', "?0:?", 'O', AUTO, 0, KILO, OHM),   // overload with a bad point code
    };
    for (const FrameFields& f : bad) {
        EXPECT_EQ(d.decode(frameOf(f), "."), DecodeResult::BadDigit);
        EXPECT_EQ(d.reading().ValueText, before.ValueText);
        EXPECT_EQ(d.reading().UnitText, before.UnitText);
        EXPECT_EQ(d.reading().ReadingValue, before.ReadingValue);
        EXPECT_EQ(d.lcd().on, lcdBefore.on);
    }
}

TEST(ReadingDecoder, AxisAndProgressMaximumPersistAcrossFrames) {
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT)), ".");
    EXPECT_TRUE(d.progressMaximumChanged());   // the first frame always sets it
    d.decode(frameOf(raw('+', "5998", '1', AUTO | DC, 0, 0, VOLT)), ".");
    EXPECT_FALSE(d.progressMaximumChanged());
    // Another range of the same bound leaves the bar alone.
    d.decode(frameOf(raw('+', "1234", '1', AUTO, 0, KILO, OHM)), ".");
    EXPECT_EQ(d.axis().maximum, 6);
    EXPECT_FALSE(d.progressMaximumChanged());
    d.decode(frameOf(raw('+', "1234", '4', AUTO | DC, 0, MILLI, VOLT)), ".");
    EXPECT_TRUE(d.progressMaximumChanged());
    EXPECT_EQ(d.axis().progressMaximum, 600);
}

// Every range the meter shows, at its full scale and with either sign: the
// chart plots the value as displayed, in the displayed unit, on the axis.
struct MeterRange {
    const char* name;
    MeterFunction function;
    UnitPrefix prefix;
    int pointAfter;
    int fullScale;   // the largest count the range shows
};

void PrintTo(const MeterRange& r, std::ostream* os) { *os << r.name; }

class EveryRange : public ::testing::TestWithParam<MeterRange> {};
using F = MeterFunction;

TEST_P(EveryRange, PlotsTheDisplayedValueOnTheAxis) {
    const MeterRange& range = GetParam();
    // Resistance, capacitance, frequency and duty cycle are never below zero
    // outside REL; such frames are refused (see FrameCheck).
    const F f = range.function;
    const bool signed_ = !(f == F::Ohm || f == F::Continuity || f == F::Capacitance || f == F::Frequency ||
                           f == F::DutyCycle);
    for (const int count : {range.fullScale, signed_ ? -range.fullScale : 1, 1}) {
        SCOPED_TRACE(count);
        DisplaySpec spec;
        spec.function = range.function;
        spec.prefix = range.prefix;
        spec.pointAfter = range.pointAfter;
        spec.count = count;
        ReadingDecoder d(6000);
        ASSERT_EQ(d.decode(frameOf(fieldsFor(spec)), "."), DecodeResult::Decoded);
        const MeterReading& r = d.reading();
        EXPECT_DOUBLE_EQ(r.ChartValue, std::stod(r.ValueText)) << r.ValueText << " " << r.UnitText;
        EXPECT_LE(std::abs(r.ChartValue), d.axis().maximum) << r.ValueText << " " << r.UnitText;
        EXPECT_EQ(d.axis().minimum, -d.axis().maximum);
    }
}

using P = UnitPrefix;
const MeterRange kRanges[] = {
    {"dc_600_0mV", F::DCV, P::Milli, 3, 5999},     {"dc_6_000V", F::DCV, P::None, 1, 5999},
    {"dc_60_00V", F::DCV, P::None, 2, 5999},       {"dc_600_0V", F::DCV, P::None, 3, 5999},
    {"dc_1000V", F::DCV, P::None, 0, 1000},        {"ac_600_0mV", F::ACV, P::Milli, 3, 5999},
    {"ac_6_000V", F::ACV, P::None, 1, 5999},       {"ac_60_00V", F::ACV, P::None, 2, 5999},
    {"ac_600_0V", F::ACV, P::None, 3, 5999},       {"ac_750V", F::ACV, P::None, 0, 750},
    {"dc_600_0uA", F::DCA, P::Micro, 3, 5999},     {"dc_6000uA", F::DCA, P::Micro, 0, 5999},
    {"dc_60_00mA", F::DCA, P::Milli, 2, 5999},     {"dc_600_0mA", F::DCA, P::Milli, 3, 5999},
    {"dc_6_000A", F::DCA, P::None, 1, 5999},       {"dc_10_00A", F::DCA, P::None, 2, 1000},
    {"ac_600_0uA", F::ACA, P::Micro, 3, 5999},     {"ac_6000uA", F::ACA, P::Micro, 0, 5999},
    {"ac_60_00mA", F::ACA, P::Milli, 2, 5999},     {"ac_600_0mA", F::ACA, P::Milli, 3, 5999},
    {"ac_6_000A", F::ACA, P::None, 1, 5999},       {"ac_10_00A", F::ACA, P::None, 2, 1000},
    {"ohm_600_0", F::Ohm, P::None, 3, 5999},       {"ohm_6_000k", F::Ohm, P::Kilo, 1, 5999},
    {"ohm_60_00k", F::Ohm, P::Kilo, 2, 5999},      {"ohm_600_0k", F::Ohm, P::Kilo, 3, 5999},
    {"ohm_6_000M", F::Ohm, P::Mega, 1, 5999},      {"ohm_60_00M", F::Ohm, P::Mega, 2, 5999},
    {"continuity_600_0", F::Continuity, P::None, 3, 5999},
    {"diode_6_000V", F::Diode, P::None, 1, 5999},
    {"cap_60_00nF", F::Capacitance, P::Nano, 2, 5999},  {"cap_600_0nF", F::Capacitance, P::Nano, 3, 5999},
    {"cap_6_000uF", F::Capacitance, P::Micro, 1, 5999}, {"cap_60_00uF", F::Capacitance, P::Micro, 2, 5999},
    {"cap_600_0uF", F::Capacitance, P::Micro, 3, 5999}, {"cap_6000uF", F::Capacitance, P::Micro, 0, 5999},
    {"cap_6_000mF", F::Capacitance, P::Milli, 1, 5999}, {"cap_60_00mF", F::Capacitance, P::Milli, 2, 5999},
    {"celsius_1000", F::TempC, P::None, 0, 1000},       {"celsius_599_9", F::TempC, P::None, 3, 5999},
    {"fahrenheit_1832", F::TempF, P::None, 0, 1832},    {"fahrenheit_599_9", F::TempF, P::None, 3, 5999},
    {"hz_9_999", F::Frequency, P::None, 1, 9999},       {"hz_99_99", F::Frequency, P::None, 2, 9999},
    {"hz_999_9", F::Frequency, P::None, 3, 9999},       {"khz_9_999", F::Frequency, P::Kilo, 1, 9999},
    {"khz_99_99", F::Frequency, P::Kilo, 2, 9999},      {"khz_999_9", F::Frequency, P::Kilo, 3, 9999},
    {"mhz_9_999", F::Frequency, P::Mega, 1, 9999},      {"mhz_99_99", F::Frequency, P::Mega, 2, 9999},
    {"duty_100_0", F::DutyCycle, P::None, 3, 1000},
};

INSTANTIATE_TEST_SUITE_P(Meter, EveryRange, ::testing::ValuesIn(kRanges),
                         [](const ::testing::TestParamInfo<MeterRange>& p) { return std::string(p.param.name); });

// What no meter sends is dropped, the last reading standing; frames a meter
// does send, odd combinations of its own included, decode.
struct PlausibleCase {
    const char* name;
    FrameFields fields;
    bool decoded;
};

class FrameCheck : public ::testing::TestWithParam<PlausibleCase> {};

TEST_P(FrameCheck, DropsWhatNoMeterSends) {
    const PlausibleCase& c = GetParam();
    ReadingDecoder d;
    d.decode(frameOf(raw('+', "5999", '1', AUTO | DC, 0, 0, VOLT)), ".");
    const MeterReading before = d.reading();
    const DecodeResult result = d.decode(frameOf(c.fields), ".");
    EXPECT_EQ(result, c.decoded ? DecodeResult::Decoded : DecodeResult::NoMeterFrame);
    if (!c.decoded) EXPECT_EQ(d.reading().ValueText, before.ValueText);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameCheck,
    ::testing::Values(
        PlausibleCase{"full_count_volts", raw('+', "6000", '1', AUTO | DC, 0, 0, VOLT), true},
        PlausibleCase{"beyond_full_count", raw('+', "8220", '1', AUTO | DC, 0, 0, VOLT), false},
        PlausibleCase{"frequency_to_9999", raw('+', "9999", '2', AUTO, 0, KILO, HZ), true},
        PlausibleCase{"no_unit_beyond_full_count", raw('+', "9000", '0', 0, 0, 0, 0), false},
        PlausibleCase{"duty_in_microamperes", raw('+', "0500", '4', AUTO, 0, MICRO | DUTY, AMP), false},
        PlausibleCase{"frequency_in_megaohms", raw('+', "1234", '2', AUTO, 0, MEGA, HZ | OHM), false},
        PlausibleCase{"volts_and_amperes", raw('+', "1234", '2', AUTO | DC, 0, 0, VOLT | AMP), false},
        PlausibleCase{"kilo_volts", raw('+', "1234", '2', AUTO | DC, 0, KILO, VOLT), false},
        PlausibleCase{"milli_ohms", raw('+', "1234", '2', AUTO, 0, MILLI, OHM), false},
        PlausibleCase{"prefix_without_unit", raw('+', "1234", '2', AUTO, NANO, 0, 0), false},
        // The display has one place for n, m and u, and a unit takes one prefix.
        PlausibleCase{"nano_milli_micro_volts", raw('+', "1234", '4', DC, NANO, MILLI | MICRO, VOLT), false},
        PlausibleCase{"kilo_and_mega_ohms", raw('+', "1234", '1', 0, 0, KILO | MEGA, OHM), false},
        PlausibleCase{"ac_ohms", raw('+', "1234", '2', AUTO | AC, 0, 0, OHM), false},
        PlausibleCase{"digit_byte_not_ascii", raw('+', "1\x84" "34", '2', AUTO | DC, 0, 0, VOLT), false},
        PlausibleCase{"point_byte_not_ascii", raw('+', "1234", '\x92', AUTO | DC, 0, 0, VOLT), false},
        PlausibleCase{"overload_not_its_pattern", raw('+', "?1:?", '2', AUTO, 0, 0, OHM), false},
        PlausibleCase{"continuity_ohms", raw('+', "0005", '0', 0, 0, CTN, OHM), true},
        PlausibleCase{"diode_with_volt_bit", raw('+', "0512", '1', DC, 0, DIODE, VOLT), true},
        PlausibleCase{"both_temperature_scales", raw('+', "0100", '0', 0, 0, 0, DEGC | DEGF), true},
        PlausibleCase{"duty_on_frequency", raw('+', "0500", '4', 0, 0, DUTY, HZ), true},
        // Signs and ends the quantity has.
        PlausibleCase{"negative_duty", raw('-', "8388", '4', 0, 0, DUTY, 0), false},
        PlausibleCase{"duty_above_100", raw('+', "1001", '4', AUTO, 0, DUTY, 0), false},
        PlausibleCase{"duty_of_100", raw('+', "1000", '4', AUTO, 0, DUTY, 0), true},
        PlausibleCase{"duty_above_100_with_two_decimals", raw('+', "9999", '2', AUTO, 0, DUTY, HZ), true},
        PlausibleCase{"duty_above_100_without_a_mark", raw('+', "0101", '0', AUTO, 0, DUTY, 0), false},
        PlausibleCase{"negative_frequency", raw('-', "1234", '1', AUTO, 0, KILO, HZ), false},
        PlausibleCase{"negative_capacitance", raw('-', "1234", '2', AUTO, NANO, 0, FARAD), false},
        PlausibleCase{"negative_capacitance_relative", raw('-', "0012", '2', REL, NANO, 0, FARAD), true},
        PlausibleCase{"negative_ohms", raw('-', "0123", '4', AUTO, 0, 0, OHM), false},
        PlausibleCase{"negative_ohms_relative", raw('-', "0123", '4', REL, 0, 0, OHM), true},
        PlausibleCase{"negative_volts", raw('-', "5999", '1', AUTO | DC, 0, 0, VOLT), true},
        PlausibleCase{"negative_overload_frequency", raw('-', "?0:?", '2', AUTO, 0, KILO, HZ), true}),
    [](const ::testing::TestParamInfo<PlausibleCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meterlink
