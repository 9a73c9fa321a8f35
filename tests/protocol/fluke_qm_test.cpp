// Fluke answers to "QM" and "ID" as the meters' remote interface notes print
// them, decoded to what the LCD shows.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/fluke_qm_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterlink {
namespace {

const MeterModel& meter(const char* name) {
    const MeterModel* m = findMeter(name);
    if (!m) throw std::runtime_error(std::string("no meter ") + name);
    return *m;
}

std::unique_ptr<FlukeQmDecoder> decoderFor(const char* name) {
    return std::make_unique<FlukeQmDecoder>(meter(name), ".");
}

void feedText(MeterDecoder& d, const std::string& text) {
    d.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

struct AnswerCase {
    const char* name;
    const char* meter;
    const char* answer;   // the bytes after the request, acknowledgement included
    const char* value;
    const char* function;
    const char* unit;
    double reading;
    std::vector<Lcd> on;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class FlukeAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(FlukeAnswer, shows_what_the_meter_shows) {
    const AnswerCase& c = GetParam();
    auto d = decoderFor(c.meter);
    feedText(*d, c.answer);
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 0u);
    const MeterReading& r = d->reading();
    EXPECT_EQ(r.ValueText, c.value);
    EXPECT_EQ(r.FunctionText, c.function);
    EXPECT_EQ(r.UnitText, c.unit);
    EXPECT_EQ(r.ReadingValue, c.reading);
    EXPECT_EQ(r.FullCount, 50000);
    for (Lcd on : c.on) EXPECT_TRUE(d->lcd().shown(on)) << "indicator " << static_cast<int>(on);
}

const AnswerCase kAnswers[] = {
    {"volts_dc", "289", "0\r+1.2345E+0,VDC,NORMAL,NONE\r", "1.2345", "DC", "V", 12345, {Lcd::Dc1, Lcd::V}},
    {"millivolts_ac_from_base_unit", "289", "0\r+1.2345E-1,VAC,NORMAL,NONE\r", "123.45", "AC", "mV", 12345,
     {Lcd::AC, Lcd::V, Lcd::Milli}},
    {"zero_keeps_the_range_digits", "287", "0\r+0.0000E+0,VDC,NORMAL,NONE\r", "0.0000", "DC", "V", 0, {Lcd::V}},
    {"negative_small_volts", "289", "0\r-0.0123E+0,VDC,NORMAL,NONE\r", "-0.0123", "DC", "V", -123, {Lcd::FH}},
    {"ac_plus_dc", "289", "0\r+2.3000E+2,VAC_PLUS_DC,NORMAL,NONE\r", "230.00", "AC+DC", "V", 23000,
     {Lcd::AC, Lcd::Dc1}},
    {"microamps", "289", "0\r+1.234E-5,ADC,NORMAL,NONE\r", "12.34", "DC", "uA", 1234, {Lcd::A, Lcd::Micro}},
    {"milliamps_ac", "289", "0\r+4.5678E-2,AAC,NORMAL,NONE\r", "45.678", "AC", "mA", 45678, {Lcd::A, Lcd::Milli}},
    {"kilohms", "289", "0\r+4.7000E+3,OHM,NORMAL,NONE\r", "4.7000", "OHM", "k*", 47000, {Lcd::Ohm, Lcd::Kilo}},
    {"megohms", "289", "0\r+1.2000E+6,OHM,NORMAL,NONE\r", "1.2000", "OHM", "M*", 12000, {Lcd::Ohm, Lcd::Mega}},
    {"overload", "289", "0\r9.99999999E+37,OHM,OL,NONE\r", "0L", "OHM", "M*", 50001, {Lcd::Ohm}},
    {"overload_below", "289", "0\r-9.99999999E+37,VDC,OL_MINUS,NONE\r", "0L", "DC", "V", -50001, {Lcd::V}},
    {"open_thermocouple", "289", "0\r9.99999999E+37,CEL,OPEN_TC,NONE\r", "0L", "TMP", "#", 50001, {Lcd::CS}},
    {"nanofarads", "289", "0\r+1.000E-8,F,NORMAL,NONE\r", "10.00", "CAP", "nF", 1000, {Lcd::F, Lcd::Nano}},
    {"hertz", "289", "0\r+5.0000E+1,Hz,NORMAL,NONE\r", "50.000", "Freq", "Hz", 50000, {Lcd::Hz}},
    {"kilohertz", "289", "0\r+1.2345E+4,Hz,NORMAL,NONE\r", "12.345", "Freq", "kHz", 12345, {Lcd::Hz, Lcd::Kilo}},
    {"continuity", "289", "0\r+1.23E+1,OHM,NORMAL,SHORT_CIRCUIT\r", "12.3", "CTN", "*", 123, {Lcd::Fm, Lcd::Ohm}},
    {"diode", "289", "0\r+0.5120E+0,VDC,NORMAL,GOOD_DIODE\r", "0.5120", "Diode", "V", 5120, {Lcd::DI, Lcd::V}},
    {"celsius", "289", "0\r+2.34E+1,CEL,NORMAL,NONE\r", "23.4", "TMP", "#", 234, {Lcd::CS}},
    {"fahrenheit", "289", "0\r+7.42E+1,FAR,NORMAL,NONE\r", "74.2", "TMP", "?", 742, {Lcd::FS}},
    {"duty_cycle", "289", "0\r+5.00E+1,PCT,NORMAL,NONE\r", "50.0", "DutyCycle", "%", 500, {Lcd::BF}},
    {"dbm", "289", "0\r-1.23E+1,dBm,NORMAL,NONE\r", "-12.3", "dB", "dBm", -123, {Lcd::FH}},
    {"attribute_of_a_later_firmware", "289", "0\r+1.0000E+0,VDC,NORMAL,SOME_NEW_FLAG\r", "1.0000", "DC", "V",
     10000, {Lcd::V}},
    {"crlf_endings", "289", "0\r\n+1.0000E+0,VDC,NORMAL,NONE\r\n", "1.0000", "DC", "V", 10000, {Lcd::V}},
    {"named_answer_volts", "189", "0\rQM,+1.2345E+0 VDC\r", "1.2345", "DC", "V", 12345, {Lcd::Dc1, Lcd::V}},
    {"named_answer_millivolts", "187", "0\rQM,+5.432E-3 VAC\r", "5.432", "AC", "mV", 5432, {Lcd::AC, Lcd::Milli}},
    {"named_answer_overload", "189", "0\rQM,OL Ohms\r", "0L", "OHM", "*", 50001, {Lcd::Ohm}},
};
INSTANTIATE_TEST_SUITE_P(Fluke, FlukeAnswer, testing::ValuesIn(kAnswers),
                         [](const auto& p) { return std::string(p.param.name); });

// Lines that are no answer the meter sends: counted, no reading, the last
// reading stays.
struct BadCase {
    const char* name;
    const char* line;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class FlukeBadAnswer : public testing::TestWithParam<BadCase> {};

TEST_P(FlukeBadAnswer, is_dropped_and_the_last_reading_stays) {
    auto d = decoderFor("289");
    feedText(*d, "0\r+1.2345E+0,VDC,NORMAL,NONE\r");
    ASSERT_EQ(d->decodedCount(), 1u);
    feedText(*d, GetParam().line);
    EXPECT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 1u);
    EXPECT_EQ(d->reading().ValueText, "1.2345");
    // The next good answer reads again.
    feedText(*d, "0\r+2.0000E+0,VDC,NORMAL,NONE\r");
    EXPECT_EQ(d->decodedCount(), 2u);
    EXPECT_EQ(d->reading().ValueText, "2.0000");
}

const std::string kOverlong = std::string(70, '1') + "E+0,VDC,NORMAL,NONE\r";
const BadCase kBad[] = {
    {"unknown_unit", "+1.0E+0,VOLT,NORMAL,NONE\r"},
    {"unknown_state", "+1.0E+0,VDC,HELD,NONE\r"},
    {"three_fields", "+1.0E+0,VDC,NORMAL\r"},
    {"five_fields", "+1.0E+0,VDC,NORMAL,NONE,NONE\r"},
    {"two_points", "+1.2.3E+0,VDC,NORMAL,NONE\r"},
    {"no_digits", "+E+0,VDC,NORMAL,NONE\r"},
    {"long_exponent", "+1.0E+1234,VDC,NORMAL,NONE\r"},
    {"more_digits_than_the_display", "+123456E+0,VDC,NORMAL,NONE\r"},
    {"cut_short", "+1.23\r"},
    {"overlong_line", kOverlong.c_str()},
    {"control_byte_inside", "+1.0\x01E+0,VDC,NORMAL,NONE\r"},
    {"named_answer_without_unit", "QM,+1.0E+0\r"},
    {"syntax_error_acknowledged", "1\r"},
    {"execution_error_acknowledged", "2\r"},
};
INSTANTIATE_TEST_SUITE_P(Fluke, FlukeBadAnswer, testing::ValuesIn(kBad),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(FlukeAcknowledgement, refusals_are_counted_apart_from_noise) {
    auto d = decoderFor("289");
    feedText(*d, "1\r2\r5\r0\r");
    EXPECT_EQ(d->refusedCount(), 3u);
    EXPECT_EQ(d->decodedCount(), 0u);
}

TEST(FlukeBlankDisplay, is_no_reading_and_no_fault) {
    auto d = decoderFor("289");
    feedText(*d, "0\r+1.0000E+0,VDC,NORMAL,NONE\r");
    for (const char* state : {"BLANK", "INACTIVE", "INVALID", "DISCHARGE"})
        feedText(*d, std::string("0\r+0.0000E+0,VDC,") + state + ",NONE\r");
    EXPECT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 0u);
    EXPECT_EQ(d->blankCount(), 4u);
    EXPECT_EQ(d->reading().ValueText, "1.0000");
}

TEST(FlukeIdentification, answers_to_id_are_kept_and_are_no_reading) {
    auto d = decoderFor("289");
    feedText(*d, "0\rFLUKE 289,V1.10,95081087\r");
    EXPECT_EQ(d->identification(), "FLUKE 289,V1.10,95081087");
    auto old = decoderFor("189");
    feedText(*old, "0\rID,FLUKE 189,V2.02,0012345678\r");
    EXPECT_EQ(old->identification(), "FLUKE 189,V2.02,0012345678");
    EXPECT_EQ(d->decodedCount() + old->decodedCount(), 0u);
    EXPECT_EQ(d->rejectedCount() + old->rejectedCount(), 0u);
}

TEST(FlukeStream, answers_split_anywhere_decode_in_order_after_a_spoilt_line) {
    auto d = decoderFor("289");
    const std::string stream = std::string("\x7f\x80garbage\r") + "0\r+1.0000E+0,VDC,NORMAL,NONE\r" +
                               "0\rFLUKE 289,V1.10,1\r" + "0\r-2.0000E+0,VDC,NORMAL,NONE\r";
    std::vector<std::string> values;
    d->setHandler([&](const MeterDecoder& m) { values.push_back(m.reading().ValueText); });
    for (char c : stream) d->feed(reinterpret_cast<const std::uint8_t*>(&c), 1);
    EXPECT_EQ(values, (std::vector<std::string>{"1.0000", "-2.0000"}));
    EXPECT_EQ(d->rejectedCount(), 1u);
}

// What the simulator answers must read back as the reading it plays.
struct RoundTrip {
    const char* meter;
    const char* line;
    const char* value;
    const char* unit;
};
void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.meter << " '" << c.line << "'"; }
class FlukeBuilder : public testing::TestWithParam<RoundTrip> {};

TEST_P(FlukeBuilder, answer_built_for_a_reading_reads_back) {
    const RoundTrip& c = GetParam();
    DisplaySpec spec;
    std::string error;
    ASSERT_TRUE(parseDisplaySpec(c.line, spec, error)) << error;
    const FamilyFrame f = encodeFamilyFrame(meter(c.meter), spec);
    ASSERT_GT(f.size, 0u);
    auto d = decoderFor(c.meter);
    d->feed(f.bytes.data(), f.size);
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->reading().ValueText, c.value);
    EXPECT_EQ(d->reading().UnitText, c.unit);
    EXPECT_EQ(d->reading().FunctionText, familyFunctionText(spec));
    EXPECT_EQ(d->reading().UnitText, familyUnitText(spec));
}
INSTANTIATE_TEST_SUITE_P(Fluke, FlukeBuilder,
                         testing::Values(RoundTrip{"289", "DCV 5.999", "5.999", "V"},
                                         RoundTrip{"289", "DCV m 0.123", "0.123", "mV"},
                                         RoundTrip{"289", "OHM k 12.34", "12.34", "k*"},
                                         RoundTrip{"289", "CAP u 1.234", "1.234", "uF"},
                                         RoundTrip{"289", "DIODE 0.512", "0.512", "V"},
                                         RoundTrip{"289", "OHM M OL", "0L", "M*"},
                                         RoundTrip{"289", "DCV -OL", "0L", "V"},
                                         RoundTrip{"189", "ACA m -12.34", "-12.34", "mA"},
                                         RoundTrip{"189", "FREQ k 50.00", "50.00", "kHz"},
                                         RoundTrip{"187", "OHM OL", "0L", "*"}));

TEST(FlukeBuilder, readings_the_answer_cannot_carry_are_skipped) {
    DisplaySpec spec;
    std::string error;
    // 1234 mV is shown 1.234 V by the meter; nanovolts it has not; the 18x
    // answer has no diode attribute.
    for (auto [m, line] : {std::pair{"289", "DCV m 1234"}, {"289", "DCV n 1.234"}, {"189", "DIODE 0.512"}}) {
        ASSERT_TRUE(parseDisplaySpec(line, spec, error)) << error;
        EXPECT_EQ(encodeFamilyFrame(meter(m), spec).size, 0u) << m << " " << line;
    }
}

}  // namespace
}  // namespace meterlink
