// The two Cyrustek families read from frames typed byte by byte from the
// chips' data sheets (range, digit, function, status and option tables) and
// the meters' manuals (what their LCD shows on each range), each with what
// the meter's LCD shows. The bytes are ASCII as the chip sends them; the
// test adds CR LF, and sends an ES51986 frame twice as that chip does.
#include "protocol/meters/meter_decoder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace meterlink {
namespace {

const MeterModel& meter(const char* name) {
    const MeterModel* m = findMeter(name);
    if (!m) throw std::runtime_error(std::string("no meter ") + name);
    return *m;
}

std::vector<std::uint8_t> wire(const MeterModel& m, const std::string& body) {
    std::vector<std::uint8_t> one(body.begin(), body.end());
    one.push_back('\r');
    one.push_back('\n');
    std::vector<std::uint8_t> out = one;
    if (m.protocol == MeterProtocol::Es51986) out.insert(out.end(), one.begin(), one.end());
    return out;
}

// The digits as the LCD shows them: minus, places ('L' for the overload
// letter, blank as a space) and the decimal mark.
std::string lcdText(const MeterLcd& lcd) {
    std::string s = lcd.shown(Lcd::FH) ? "-" : "";
    const Lcd marks[] = {Lcd::P1, Lcd::P2, Lcd::P3};
    for (std::size_t p = 1; p <= lcd.places; ++p) {
        const char c = lcd.digit(p);
        s += c == '@' ? 'L' : c == '\0' ? ' ' : c;
        if ((p <= 3 && lcd.shown(marks[p - 1])) || (p == 4 && lcd.shown(LcdExtra::P4))) s += '.';
    }
    return s;
}

struct TypedFrame {
    const char* name;
    const char* meter;
    const char* bytes;      // without CR LF
    const char* lcd;        // nullptr: the frame is refused
    const char* value = "";
    const char* function = "";
    const char* unit = "";
    std::initializer_list<Lcd> on = {};
    std::initializer_list<Lcd> off = {};
};

void PrintTo(const TypedFrame& c, std::ostream* os) { *os << c.meter << " " << c.bytes; }

class Es519xxTypedFrames : public testing::TestWithParam<TypedFrame> {};

TEST_P(Es519xxTypedFrames, decode_to_what_the_lcd_shows) {
    const TypedFrame& c = GetParam();
    const MeterModel& m = meter(c.meter);
    auto d = makeDecoder(m, ".");
    const std::vector<std::uint8_t> bytes = wire(m, c.bytes);
    d->feed(bytes.data(), bytes.size());
    if (!c.lcd) {
        EXPECT_EQ(d->decodedCount(), 0u) << "shows " << d->reading().ValueText << " " << d->reading().UnitText;
        EXPECT_GE(d->rejectedCount(), 1u);
        return;
    }
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 0u);
    EXPECT_EQ(lcdText(d->lcd()), c.lcd);
    EXPECT_EQ(d->reading().ValueText, c.value);
    EXPECT_EQ(d->reading().FunctionText, c.function);
    EXPECT_EQ(d->reading().UnitText, c.unit);
    for (Lcd i : c.on) EXPECT_TRUE(d->lcd().shown(i)) << static_cast<int>(i);
    for (Lcd i : c.off) EXPECT_FALSE(d->lcd().shown(i)) << static_cast<int>(i);
}

// ES51922 byte order: range, five digits (most significant first), function,
// status (judge 8, sign 4, battery 2, overload 1), option 1 (MAX 8, MIN 4,
// REL 2), option 2 (UL 8, PMAX 4, PMIN 2), option 3 (DC 8, AC 4, AUTO 2,
// VAHZ 1), option 4 (VBAR 4, HOLD 2). Function codes: ';' volts, '=' auto uA,
// '?' auto mA, '0' 22 A, '9' manual A, '1' diode, '2' frequency, '3' ohms,
// '4' temperature, '5' continuity, '6' capacitance.
const TypedFrame kEs51922[] = {
    {"volts_2_2_range", "UT61E", "012345;000:0", "1.2345", "1.2345", "DC", "V", {Lcd::Dc1, Lcd::Auto, Lcd::V}},
    {"volts_full_scale", "UT61E", "022000;000:0", "2.2000", "2.2000", "DC", "V"},
    {"negative_ac_volts_220_range", "UT61E", "212345;40040", "-123.45", "-123.45", "AC", "V", {Lcd::AC, Lcd::FH}, {Lcd::Auto}},
    {"millivolts", "UT61E", "405200;000:0", "052.00", "052.00", "DC", "mV", {Lcd::Milli}},
    {"kilohms", "UT61E", "112345300020", "1.2345", "1.2345", "OHM", "k*", {Lcd::Kilo, Lcd::Ohm}},
    {"nanofarads", "UT61E", "001234600020", "01.234", "01.234", "CAP", "nF", {Lcd::Nano, Lcd::F}},
    {"hertz_22_range", "UT61E", "002200200020", "022.00", "022.00", "Freq", "Hz", {Lcd::Hz}},
    {"kilohertz_22_range", "UT61E", "312345200020", "12.345", "12.345", "Freq", "kHz", {Lcd::Kilo, Lcd::Hz}},
    {"duty_cycle_on_the_volt_position", "UT61E", "000500;800;0", "0050.0", "0050.0", "DutyCycle", "%", {Lcd::BF}},
    {"duty_cycle_100_percent", "UT61E", "001000;800;0", "0100.0", "0100.0", "DutyCycle", "%"},
    {"overload", "UT61E", "100000;100:0", " 0.L  ", "0.L", "DC", "V"},
    // Under the range: no number, and never a zero reading.
    {"underflow_frequency", "UT61E", "000000200820", " UL  ", "UL", "Freq", "Hz", {Lcd::Hz}, {Lcd::P1, Lcd::P2, Lcd::P3}},
    {"underflow_duty_cycle", "UT61E", "000000;808;0", " UL  ", "UL", "DutyCycle", "%", {Lcd::BF}},
    // The digits are degrees Celsius whichever of C and F the meter shows.
    {"temperature_celsius", "UT61E", "000235480020", "0023.5", "0023.5", "TMP", "#", {Lcd::CS}, {Lcd::FS}},
    {"temperature_with_fahrenheit_shown", "UT61E", "000235400020", "0023.5", "0023.5", "TMP", "#", {Lcd::CS}, {Lcd::FS}},
    {"auto_microamps", "UT61E", "012345=000:0", "123.45", "123.45", "DC", "uA", {Lcd::Micro, Lcd::A}},
    // The UT61E ties VBAR low: a frame with it set is noise.
    {"refused_vbar_on_a_meter_without_it", "UT61E", "012345=000:4", nullptr},
    {"max_shown", "UT61E", "012345;080:0", "1.2345", "1.2345", "DC", "V", {Lcd::Max}, {Lcd::Min}},
    {"min_shown", "UT61E", "012345;040:0", "1.2345", "1.2345", "DC", "V", {Lcd::Min}, {Lcd::Max}},
    {"max_and_min_shown", "UT61E", "012345;0<0:0", "1.2345", "1.2345", "DC", "V", {Lcd::Max, Lcd::Min}},
    {"manual_amps_22000_range", "UT61E", "412345900080", "12345", "12345", "DC", "A", {Lcd::A}, {Lcd::Auto}},
    {"peak_max_on_ac_volts", "UT61E", "112345;00460", "12.345", "12.345", "AC", "V", {Lcd::AC}},
    {"low_pass_filter_on_ac_volts", "UT61E", "112345;00061", "12.345", "12.345", "AC", "V", {Lcd::AC}},
    // What the chip cannot send.
    {"refused_hz_mode_on_capacitance", "UT61E", "001234600030", nullptr},
    {"refused_ac_on_ohms", "UT61E", "112345300060", nullptr},
    {"refused_peak_hold_on_frequency", "UT61E", "312345200420", nullptr},
    {"refused_peak_hold_with_max", "UT61E", "112345;08461", nullptr},
    {"refused_judge_bit_on_ohms", "UT61E", "112345380020", nullptr},
    {"refused_low_pass_filter_on_dc_volts", "UT61E", "112345;00081", nullptr},
    {"refused_counts_above_full_scale", "UT61E", "099999;000:0", nullptr},
    {"refused_22_khz_at_range_index_2", "UT61E", "212345200020", nullptr},
    {"refused_ac_and_dc_lit", "UT61E", "012345;000>0", nullptr},
    {"refused_negative_frequency", "UT61E", "312345240020", nullptr},
    {"refused_negative_capacitance", "UT61E", "001234640020", nullptr},
    {"refused_negative_resistance", "UT61E", "112345340020", nullptr},
    {"refused_negative_duty_cycle", "UT61E", "000500;C00;0", nullptr},
    {"refused_duty_cycle_above_100", "UT61E", "001001;800;0", nullptr},
    {"refused_underflow_on_volts", "UT61E", "000000;008:0", nullptr},
    {"refused_underflow_with_overload", "UT61E", "000000210820", nullptr},
    {"refused_peak_max_and_min", "UT61E", "012345;006:0", nullptr},
    {"refused_bit_sent_clear", "UT61E", "012345;001:0", nullptr},
    // The overload bit does not make other digit codes possible.
    {"refused_overload_with_digit_code_above_9", "UT61E", "1000:0;100:0", nullptr},
    {"refused_overload_ohms_with_high_digit_codes", "UT61E", "1?>?>=310020", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Es51922, Es519xxTypedFrames, testing::ValuesIn(kEs51922),
                         [](const auto& p) { return std::string(p.param.name); });

// ES51986 byte order: range, four digits, function, status, option 1 (HOLD
// 8, MAX 4, MIN 2), option 2 (DC 8, AC 4, AUTO 2, VAHZ 1); every frame sent
// twice.
const TypedFrame kEs51986[] = {
    {"volts", "UT60G", "05999;00:", "5.999", "5.999", "DC", "V", {Lcd::Dc1, Lcd::Auto}},
    {"negative_ac_millivolts", "UT60G", "41234;406", "-123.4", "-123.4", "AC", "mV", {Lcd::AC, Lcd::FH, Lcd::Milli}},
    {"kilohertz", "UT60G", "012342002", "1.234", "1.234", "Freq", "kHz", {Lcd::Kilo, Lcd::Hz}},
    // The judge bit on the frequency function: hertz on these meters.
    {"kilohertz_with_judge_bit", "UT60G", "012342802", "1.234", "1.234", "Freq", "kHz", {Lcd::Kilo, Lcd::Hz}},
    {"judge_bit_72_7750", "72-7750", "112342802", "12.34", "12.34", "Freq", "kHz"},
    {"manual_10_amps", "UT60G", "110009008", "10.00", "10.00", "DC", "A", {Lcd::A}, {Lcd::Auto}},
    {"celsius", "UT60G", "000254800", "0025", "0025", "TMP", "#", {Lcd::CS}},
    {"temperature_with_fahrenheit_shown", "UT60G", "000254000", "0025", "0025", "TMP", "#", {Lcd::CS}, {Lcd::FS}},
    {"hold_max", "UT60G", "05999;0<:", "5.999", "5.999", "DC", "V", {Lcd::Hold, Lcd::Max}},
    {"refused_counts_above_full_scale", "UT60G", "09999;00:", nullptr},
    {"refused_ac_and_dc_lit", "UT60G", "05999;00>", nullptr},
    {"refused_negative_frequency", "UT60G", "012342402", nullptr},
    {"refused_bit_sent_clear", "UT60G", "05999;01:", nullptr},
    {"refused_overload_with_digit_code_above_9", "UT60G", "0600:;10:", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Es51986, Es519xxTypedFrames, testing::ValuesIn(kEs51986),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- The ES51986 sends each conversion twice -------------------------------

struct CopyCase {
    const char* name;
    std::vector<const char*> frames;      // bodies, each sent once, in order
    std::vector<const char*> readings;    // value texts logged
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class TwoCopies : public testing::TestWithParam<CopyCase> {};

TEST_P(TwoCopies, a_reading_counts_once_when_two_copies_agree) {
    const CopyCase& c = GetParam();
    auto d = makeDecoder(meter("UT60G"), ".");
    std::vector<std::string> logged;
    d->setHandler([&](const MeterDecoder& x) { logged.push_back(x.reading().ValueText); });
    for (const char* body : c.frames) {
        std::string one = std::string(body) + "\r\n";
        d->feed(reinterpret_cast<const std::uint8_t*>(one.data()), one.size());
    }
    EXPECT_EQ(logged, std::vector<std::string>(c.readings.begin(), c.readings.end()));
}

const CopyCase kCopies[] = {
    {"one_copy_is_not_a_reading", {"01234;00:"}, {}},
    {"two_copies_are_one_reading", {"01234;00:", "01234;00:"}, {"1.234"}},
    {"a_steady_display_logs_each_conversion_once", {"01234;00:", "01234;00:", "01234;00:", "01234;00:"}, {"1.234", "1.234"}},
    {"copies_that_differ_are_noise", {"01234;00:", "01235;00:"}, {}},
    {"a_lone_copy_then_a_pair", {"01234;00:", "02345;00:", "02345;00:"}, {"2.345"}},
};
INSTANTIATE_TEST_SUITE_P(Es51986, TwoCopies, testing::ValuesIn(kCopies),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- A clamp meter ties VBAR high ----------------------------------------

struct VbarCase {
    const char* name;
    const char* bytes;
    const char* value;   // nullptr: refused
    const char* unit;
};

void PrintTo(const VbarCase& c, std::ostream* os) { *os << c.bytes; }

class VbarMeter : public testing::TestWithParam<VbarCase> {};

TEST_P(VbarMeter, automatic_current_positions_are_the_clamp_ranges) {
    const VbarCase& c = GetParam();
    MeterModel clamp = meter("UT61E");
    clamp.switches |= kEsVbar;
    auto d = makeDecoder(clamp, ".");
    const std::vector<std::uint8_t> bytes = wire(clamp, c.bytes);
    d->feed(bytes.data(), bytes.size());
    if (!c.value) {
        EXPECT_EQ(d->decodedCount(), 0u);
        return;
    }
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->reading().ValueText, c.value);
    EXPECT_EQ(d->reading().UnitText, c.unit);
    EXPECT_FALSE(d->lcd().shown(Lcd::Micro));
    EXPECT_FALSE(d->lcd().shown(Lcd::Milli));
}

const VbarCase kVbar[] = {
    {"auto_ua_position_is_220_amps", "012345=000:4", "123.45", "A"},
    {"auto_ma_position_is_22_amps", "012345?000:4", "12.345", "A"},
    {"volts_unchanged", "012345;000:4", "1.2345", "V"},
    {"refused_vbar_clear", "012345=000:0", nullptr, ""},
};
INSTANTIATE_TEST_SUITE_P(Es51922, VbarMeter, testing::ValuesIn(kVbar),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- The meter table's switch for the judge bit on frequency ---------------

TEST(Es51986JudgeBit, a_model_that_means_rpm_logs_rpm) {
    MeterModel rpmMeter = meter("UT60G");
    rpmMeter.switches |= kEsJudgeBitIsRpm;
    auto d = makeDecoder(rpmMeter, ".");
    const std::vector<std::uint8_t> bytes = wire(rpmMeter, "012342802");
    d->feed(bytes.data(), bytes.size());
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->reading().FunctionText, "RPM");
    EXPECT_EQ(d->reading().UnitText, "rpm");
    EXPECT_FALSE(d->lcd().shown(Lcd::Hz));
}

}  // namespace
}  // namespace meterlink
