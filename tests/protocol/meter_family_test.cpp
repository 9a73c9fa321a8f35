// The meter families other than the shipped one: frames written with the
// family frame builder, decoded through the shared decoder interface.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/fs9721_decoder.h"
#include "protocol/meters/meter_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace meterlink {
namespace {

const MeterModel& meter(const char* name) {
    const MeterModel* m = findMeter(name);
    if (!m) throw std::runtime_error(std::string("no meter ") + name);
    return *m;
}

FamilyFrame frameFor(const MeterModel& m, const std::string& line) {
    DisplaySpec spec;
    std::string error;
    if (!parseDisplaySpec(line, spec, error)) throw std::runtime_error(error);
    return encodeFamilyFrame(m, spec);
}

// ---- Every function, prefix, sign, overload -------------------------------

struct ReadingCase {
    const char* name;
    const char* meter;
    const char* line;
    const char* value;
    const char* function;
    const char* unit;
    double reading;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.meter << " '" << c.line << "'"; }

class FamilyReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(FamilyReading, frame_decodes_to_the_reading_shown) {
    const ReadingCase& c = GetParam();
    const MeterModel& m = meter(c.meter);
    const FamilyFrame f = frameFor(m, c.line);
    ASSERT_GT(f.size, 0u) << "the builder cannot show this reading";
    auto d = makeDecoder(m, ".");
    d->feed(f.bytes.data(), f.size);
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 0u);
    const MeterReading& r = d->reading();
    EXPECT_EQ(r.ValueText, c.value);
    EXPECT_EQ(r.FunctionText, c.function);
    EXPECT_EQ(r.UnitText, c.unit);
    EXPECT_EQ(r.ReadingValue, c.reading);
    EXPECT_TRUE(r.NewReadingFlag);
}

const ReadingCase kReadings[] = {
    // FS9721, 4000 counts
    {"fs9721_dc_volts", "VC-820", "DCV 3.999", "3.999", "DC", "V", 3999},
    {"fs9721_millivolts", "VC-820", "DCV m 399.9", "399.9", "DC", "mV", 3999},
    {"fs9721_negative_ac_volts", "VC-820", "ACV -1.234", "-1.234", "AC", "V", -1234},
    {"fs9721_microamps", "VC-820", "DCA u 123.4", "123.4", "DC", "uA", 1234},
    {"fs9721_milliamps_ac", "VC-820", "ACA m 12.34", "12.34", "AC", "mA", 1234},
    {"fs9721_amps", "VC-820", "DCA 1.234", "1.234", "DC", "A", 1234},
    {"fs9721_ohms", "VC-820", "OHM 399.9", "399.9", "OHM", "*", 3999},
    {"fs9721_kilohms", "VC-820", "OHM k 3.999", "3.999", "OHM", "k*", 3999},
    {"fs9721_megohms", "VC-820", "OHM M 39.99", "39.99", "OHM", "M*", 3999},
    {"fs9721_continuity", "VC-820", "CTN 012.3", "012.3", "CTN", "*", 123},
    {"fs9721_diode", "VC-820", "DIODE 0.512", "0.512", "Diode", "V", 512},
    {"fs9721_nanofarads", "VC-820", "CAP n 39.99", "39.99", "CAP", "nF", 3999},
    {"fs9721_microfarads", "VC-820", "CAP u 3.999", "3.999", "CAP", "uF", 3999},
    {"fs9721_hertz", "VC-820", "FREQ 9.999", "9.999", "Freq", "Hz", 9999},
    {"fs9721_kilohertz", "VC-820", "FREQ k 50.00", "50.00", "Freq", "kHz", 5000},
    {"fs9721_megahertz", "VC-820", "FREQ M 1.000", "1.000", "Freq", "MHz", 1000},
    {"fs9721_duty", "VC-820", "DUTY 050.0", "050.0", "DutyCycle", "%", 500},
    {"fs9721_celsius_on_symbol_0", "UT60E", "TEMPC 0025", "0025", "TMP", "#", 25},
    {"fs9721_fahrenheit_on_symbol_1", "PCE-DM32", "TEMPF 0077", "0077", "TMP", "?", 77},
    {"fs9721_celsius_on_symbol_2", "PCE-DM32", "TEMPC 0025", "0025", "TMP", "#", 25},
    {"fs9721_overload", "VC-820", "OHM M OL", "0L", "OHM", "M*", 4001},
    {"fs9721_negative_overload", "VC-820", "DCV -OL", "0L", "DC", "V", -4001},
    // ES51922, 22000 counts: five places
    {"es51922_volts_trailing_zero", "UT61E", "DCV 1.234", "1.2340", "DC", "V", 12340},
    {"es51922_volts_22_range", "UT61E", "DCV 12.34", "12.340", "DC", "V", 12340},
    {"es51922_negative_ac_volts", "UT61E", "ACV -123.4", "-123.40", "AC", "V", -12340},
    {"es51922_220_volt_range", "UT61E", "DCV 123.4", "123.40", "DC", "V", 12340},
    {"es51922_millivolts", "UT61E", "DCV m 123.4", "123.40", "DC", "mV", 12340},
    {"es51922_microamps", "UT61E", "DCA u 123.4", "123.40", "DC", "uA", 12340},
    {"es51922_milliamps", "UT61E", "ACA m 12.34", "12.340", "AC", "mA", 12340},
    {"es51922_amps", "UT61E", "DCA 12.34", "12.340", "DC", "A", 12340},
    {"es51922_ohms", "UT61E", "OHM 123.4", "123.40", "OHM", "*", 12340},
    {"es51922_kilohms", "UT61E", "OHM k 1.234", "1.2340", "OHM", "k*", 12340},
    {"es51922_megohms", "UT61E", "OHM M 12.34", "12.340", "OHM", "M*", 12340},
    {"es51922_continuity", "UT61E", "CTN 012.3", "012.30", "CTN", "*", 1230},
    {"es51922_diode", "UT61E", "DIODE 0.512", "0.5120", "Diode", "V", 5120},
    {"es51922_nanofarads", "UT61E", "CAP n 12.34", "12.340", "CAP", "nF", 12340},
    {"es51922_microfarads", "UT61E", "CAP u 1.234", "1.2340", "CAP", "uF", 12340},
    {"es51922_hertz", "UT61E", "FREQ 123.4", "123.40", "Freq", "Hz", 12340},
    {"es51922_kilohertz", "UT61E", "FREQ k 12.34", "12.340", "Freq", "kHz", 12340},
    {"es51922_megahertz", "UT61E", "FREQ M 1.234", "1.2340", "Freq", "MHz", 12340},
    {"es51922_duty", "UT61E", "DUTY 050.0", "0050.0", "DutyCycle", "%", 500},
    {"es51922_overload", "UT61E", "OHM M OL", "0L", "OHM", "M*", 22001},
    {"es51922_negative_overload", "UT61E", "DCV -OL", "0L", "DC", "V", -22001},
    // ES51986, 6000 counts
    {"es51986_volts", "UT60G", "DCV 5.999", "5.999", "DC", "V", 5999},
    {"es51986_millivolts", "UT60G", "DCV m 599.9", "599.9", "DC", "mV", 5999},
    {"es51986_negative_ac_volts", "UT60G", "ACV -59.99", "-59.99", "AC", "V", -5999},
    {"es51986_1000_volt_range", "UT60G", "DCV 1000", "1000", "DC", "V", 1000},
    {"es51986_microamps", "UT60G", "DCA u 599.9", "599.9", "DC", "uA", 5999},
    {"es51986_milliamps", "UT60G", "ACA m 59.99", "59.99", "AC", "mA", 5999},
    {"es51986_amps", "UT60G", "DCA 5.999", "5.999", "DC", "A", 5999},
    {"es51986_ohms", "UT60G", "OHM 599.9", "599.9", "OHM", "*", 5999},
    {"es51986_kilohms", "UT60G", "OHM k 5.999", "5.999", "OHM", "k*", 5999},
    {"es51986_megohms", "UT60G", "OHM M 59.99", "59.99", "OHM", "M*", 5999},
    {"es51986_continuity", "UT60G", "CTN 012.3", "012.3", "CTN", "*", 123},
    {"es51986_diode", "UT60G", "DIODE 0.512", "0.512", "Diode", "V", 512},
    {"es51986_nanofarads", "UT60G", "CAP n 59.99", "59.99", "CAP", "nF", 5999},
    {"es51986_microfarads", "UT60G", "CAP u 5.999", "5.999", "CAP", "uF", 5999},
    {"es51986_kilohertz", "UT60G", "FREQ k 5.999", "5.999", "Freq", "kHz", 5999},
    {"es51986_megahertz", "UT60G", "FREQ M 59.99", "59.99", "Freq", "MHz", 5999},
    {"es51986_celsius", "UT60G", "TEMPC 0025", "0025", "TMP", "#", 25},
    {"es51986_overload", "UT60G", "DCV -OL", "0L", "DC", "V", -6001},
    // Metex 14-byte text
    {"metex_dc_volts", "M-3640D", "DCV -1.234", "-1.234", "DC", "V", -1234},
    {"metex_millivolts", "M-3640D", "DCV m 399.9", "399.9", "DC", "mV", 3999},
    {"metex_ac_volts", "M-3640D", "ACV 39.99", "39.99", "AC", "V", 3999},
    {"metex_microamps", "M-3640D", "DCA u 123.4", "123.4", "DC", "uA", 1234},
    {"metex_milliamps", "M-3640D", "ACA m 12.34", "12.34", "AC", "mA", 1234},
    {"metex_amps", "M-3640D", "DCA 1.234", "1.234", "DC", "A", 1234},
    {"metex_ohms", "M-3640D", "OHM 399.9", "399.9", "OHM", "*", 3999},
    {"metex_kilohms", "M-3640D", "OHM k 3.999", "3.999", "OHM", "k*", 3999},
    {"metex_megohms", "M-3640D", "OHM M 39.99", "39.99", "OHM", "M*", 3999},
    {"metex_diode", "M-3640D", "DIODE 0.512", "0.512", "Diode", "V", 512},
    {"metex_nanofarads", "M-3640D", "CAP n 39.99", "39.99", "CAP", "nF", 3999},
    {"metex_microfarads", "M-3640D", "CAP u 3.999", "3.999", "CAP", "uF", 3999},
    {"metex_celsius", "M-3640D", "TEMPC 0025", "0025", "TMP", "#", 25},
    {"metex_kilohertz", "M-3640D", "FREQ k 1.234", "1.234", "Freq", "kHz", 1234},
    {"metex_overload", "M-3640D", "OHM M OL", "0L", "OHM", "M*", 4001},
    {"metex_negative_overload", "M-3640D", "DCV -OL", "0L", "DC", "V", -4001},
    {"metex_five_places", "M-4650CR", "DCV 1.234", "01.234", "DC", "V", 1234},
};
INSTANTIATE_TEST_SUITE_P(AllFamilies, FamilyReading, testing::ValuesIn(kReadings),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Annunciators -----------------------------------------------------------

struct FlagCase {
    const char* name;
    const char* meter;
    const char* line;
    std::vector<Lcd> on;
    std::vector<Lcd> off;
    const char* autoText;
};

void PrintTo(const FlagCase& c, std::ostream* os) { *os << c.meter << " '" << c.line << "'"; }

class FamilyFlags : public testing::TestWithParam<FlagCase> {};

TEST_P(FamilyFlags, annunciators_follow_the_frame) {
    const FlagCase& c = GetParam();
    const MeterModel& m = meter(c.meter);
    const FamilyFrame f = frameFor(m, c.line);
    ASSERT_GT(f.size, 0u);
    auto d = makeDecoder(m, ".");
    d->feed(f.bytes.data(), f.size);
    ASSERT_EQ(d->decodedCount(), 1u);
    for (Lcd i : c.on) EXPECT_TRUE(d->lcd().shown(i)) << static_cast<int>(i);
    for (Lcd i : c.off) EXPECT_FALSE(d->lcd().shown(i)) << static_cast<int>(i);
    EXPECT_EQ(d->reading().AutoText, c.autoText);
}

const FlagCase kFlags[] = {
    {"fs9721_hold_rel_battery_manual", "VC-820", "DCV 1.234 hold rel bat manual",
     {Lcd::Hold, Lcd::REL, Lcd::Batt, Lcd::Dc1, Lcd::V, Lcd::P1}, {Lcd::Auto, Lcd::AC, Lcd::FH}, "MANU"},
    {"fs9721_plain_auto", "VC-820", "ACV -1.234", {Lcd::Auto, Lcd::AC, Lcd::FH}, {Lcd::Hold, Lcd::REL, Lcd::Batt}, "AUTO"},
    {"fs9721_max_symbol", "VA40B", "DCV 1.234 max", {Lcd::Max}, {Lcd::Min}, "AUTO"},
    {"fs9721_min_symbol", "VA40B", "DCV 1.234 min", {Lcd::Min}, {Lcd::Max}, "AUTO"},
    {"fs9721_prefix_and_quantity", "VC-820", "OHM k 3.999", {Lcd::Kilo, Lcd::Ohm}, {Lcd::Mega, Lcd::V}, "AUTO"},
    {"es51922_hold_max_rel_battery", "UT61E", "DCV 1.234 hold max rel bat",
     {Lcd::Hold, Lcd::Max, Lcd::REL, Lcd::Batt, Lcd::Dc1, Lcd::V, Lcd::P1}, {Lcd::Min, Lcd::AC}, "AUTO"},
    {"es51922_min_manual", "UT61E", "ACA m 12.34 min manual", {Lcd::Min, Lcd::AC, Lcd::A, Lcd::Milli}, {Lcd::Auto, Lcd::Max}, "MANU"},
    {"es51986_hold_min", "UT60G", "DCV -5.999 hold min", {Lcd::Hold, Lcd::Min, Lcd::FH}, {Lcd::Max}, "AUTO"},
    {"es51986_max_battery", "UT60G", "OHM k 5.999 max bat", {Lcd::Max, Lcd::Batt, Lcd::Kilo, Lcd::Ohm}, {Lcd::Hold}, "AUTO"},
    {"metex_ac_millivolts", "M-3640D", "ACV m 39.99", {Lcd::AC, Lcd::V, Lcd::Milli, Lcd::P2}, {Lcd::Dc1}, "MANU"},
};
INSTANTIATE_TEST_SUITE_P(AllFamilies, FamilyFlags, testing::ValuesIn(kFlags),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- What the chip cannot send ---------------------------------------------

struct RejectCase {
    const char* name;
    const char* meter;
    const char* line;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
};

void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }

class FamilyRejects : public testing::TestWithParam<RejectCase> {};

TEST_P(FamilyRejects, bad_frame_is_dropped_and_the_last_reading_stays) {
    const RejectCase& c = GetParam();
    const MeterModel& m = meter(c.meter);
    const FamilyFrame good = frameFor(m, c.line);
    ASSERT_GT(good.size, 0u);
    std::vector<std::uint8_t> bad(good.bytes.begin(), good.bytes.begin() + good.size);
    c.spoil(bad);
    auto d = makeDecoder(m, ".");
    d->feed(good.bytes.data(), good.size);
    ASSERT_EQ(d->decodedCount(), 1u);
    const MeterReading before = d->reading();
    d->feed(bad.data(), bad.size());
    EXPECT_EQ(d->decodedCount(), 1u);
    EXPECT_GE(d->rejectedCount(), 1u);
    EXPECT_EQ(d->reading().ValueText, before.ValueText);
    EXPECT_EQ(d->reading().UnitText, before.UnitText);
    // The next good frame is read again.
    d->feed(good.bytes.data(), good.size);
    EXPECT_EQ(d->decodedCount(), 2u);
}

using Bytes = std::vector<std::uint8_t>;

// Puts a glyph into FS9721 digit place 0-3, keeping the sign and mark bits.
void setFs9721Digit(Bytes& b, std::size_t place, char glyph) {
    const std::uint8_t seg = fs9721Segments(glyph);
    std::uint8_t& hi = b[1 + 2 * place];
    std::uint8_t& lo = b[2 + 2 * place];
    hi = static_cast<std::uint8_t>((hi & 0xF8) | (seg >> 4));
    lo = static_cast<std::uint8_t>((lo & 0xF0) | (seg & 0x0F));
}

const RejectCase kRejects[] = {
    {"fs9721_wrong_index_nibble", "VC-820", "DCV 1.234", [](Bytes& b) { b[5] = static_cast<std::uint8_t>(0x70 | (b[5] & 0x0F)); }},
    {"fs9721_segment_pattern_of_no_digit", "VC-820", "DCV 1.234", [](Bytes& b) { b[2] = 0x3F; }},
    {"fs9721_blank_between_digits", "VC-820", "DCV 1.234", [](Bytes& b) { b[3] = 0x40 | (b[3] & 0x08); b[4] = 0x50; }},
    {"fs9721_no_rs232_symbol", "VC-820", "DCV 1.234", [](Bytes& b) { b[0] &= 0xFE; }},
    {"fs9721_ac_and_dc", "VC-820", "DCV 1.234", [](Bytes& b) { b[0] |= 0x08; }},
    {"fs9721_two_prefixes", "VC-820", "DCV m 123.4", [](Bytes& b) { b[9] |= 0x02; }},
    {"fs9721_two_quantities", "VC-820", "DCV 1.234", [](Bytes& b) { b[12] |= 0x08; }},
    {"fs9721_two_decimal_marks", "VC-820", "DCV 1.234", [](Bytes& b) { b[5] |= 0x08; }},
    {"fs9721_short_frame", "VC-820", "DCV 1.234", [](Bytes& b) { b.erase(b.begin() + 5); }},
    {"es51922_digit_out_of_range", "UT61E", "DCV 1.234", [](Bytes& b) { b[2] = ':'; }},
    {"es51922_parity_garbage", "UT61E", "DCV 1.234", [](Bytes& b) { b[3] |= 0x80; }},
    {"es51922_adapter_function", "UT61E", "DCV 1.234", [](Bytes& b) { b[6] = 0x3E; }},
    {"es51922_range_the_function_lacks", "UT61E", "DCV 1.234", [](Bytes& b) { b[0] = '7'; }},
    {"es51922_byte_lost", "UT61E", "DCV 1.234", [](Bytes& b) { b.erase(b.begin() + 3); }},
    {"es51986_digit_out_of_range", "UT60G", "DCV 5.999", [](Bytes& b) { b[1] = '?'; }},
    {"es51986_parity_garbage", "UT60G", "DCV 5.999", [](Bytes& b) { b[7] |= 0x80; }},
    {"es51986_extra_byte", "UT60G", "DCV 5.999", [](Bytes& b) { b.insert(b.begin() + 2, '0'); }},
    // What the chips cannot send: counts beyond full scale, frequencies,
    // duty cycles and (outside REL) capacitances below zero, duty above 100 %,
    // a prefix no range of the unit uses.
    {"fs9721_count_beyond_full_scale", "VC-820", "DCV 1.234", [](Bytes& b) { setFs9721Digit(b, 0, '9'); }},
    {"fs9721_negative_frequency", "VC-820", "FREQ k 1.234", [](Bytes& b) { b[1] |= 0x08; }},
    {"fs9721_negative_duty", "VC-820", "DUTY 050.0", [](Bytes& b) { b[1] |= 0x08; }},
    {"fs9721_negative_capacitance", "VC-820", "CAP n 12.34", [](Bytes& b) { b[1] |= 0x08; }},
    {"fs9721_duty_above_100", "VC-820", "DUTY 050.0", [](Bytes& b) { setFs9721Digit(b, 0, '2'); }},
    {"fs9721_kilo_volts", "VC-820", "DCV 1.234", [](Bytes& b) { b[9] |= 0x02; }},
    {"fs9721_ac_ohms", "VC-820", "OHM 123.4", [](Bytes& b) { b[0] |= 0x08; }},
    {"fs9721_beep_with_volts", "VC-820", "DCV 1.234", [](Bytes& b) { b[10] |= 0x01; }},
    {"fs9721_diode_in_amperes", "VC-820", "DCA m 12.34", [](Bytes& b) { b[9] |= 0x01; }},
    {"fs9721_dc_without_a_unit", "VC-820", "DCV 1.234", [](Bytes& b) { b[12] &= 0xF0; b[12] |= 0xD0; }},
    {"metex_count_beyond_full_scale", "M-3640D", "DCV 1.234", [](Bytes& b) { b[4] = '9'; }},
    {"metex_negative_frequency", "M-3640D", "FREQ k 1.234", [](Bytes& b) { b[2] = '-'; }},
    {"metex_negative_capacitance", "M-3640D", "CAP n 12.34", [](Bytes& b) { b[2] = '-'; }},
    {"metex_unknown_unit", "M-3640D", "DCV 1.234", [](Bytes& b) { b[10] = 'X'; }},
    {"metex_mode_without_its_unit", "M-3640D", "DCV 1.234", [](Bytes& b) { b[0] = 'O'; b[1] = 'H'; }},
    {"metex_two_points", "M-3640D", "DCV 1.234", [](Bytes& b) { b[7] = '.'; }},
    {"metex_letter_in_value", "M-3640D", "DCV 1.234", [](Bytes& b) { b[6] = 'x'; }},
    {"metex_control_byte", "M-3640D", "DCV 1.234", [](Bytes& b) { b[12] = 0x07; }},
    {"metex_long_line", "M-3640D", "DCV 1.234", [](Bytes& b) { b.insert(b.begin(), ' '); }},
};
INSTANTIATE_TEST_SUITE_P(AllFamilies, FamilyRejects, testing::ValuesIn(kRejects),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Byte stream handling, every family ------------------------------------

class FamilyStream : public testing::TestWithParam<const char*> {};

TEST_P(FamilyStream, frames_fed_byte_by_byte_after_garbage_decode_in_order) {
    const MeterModel& m = meter(GetParam());
    const FamilyFrame a = frameFor(m, "DCV 1.234");
    const FamilyFrame b = frameFor(m, "DCV -2.345");
    ASSERT_GT(a.size, 0u);
    // The frame right after the garbage may go with it; the ones after it not.
    std::vector<std::uint8_t> stream{0x00, 0xFF, 0x17};
    stream.insert(stream.end(), a.bytes.begin(), a.bytes.begin() + a.size);
    stream.insert(stream.end(), a.bytes.begin(), a.bytes.begin() + a.size);
    stream.insert(stream.end(), b.bytes.begin(), b.bytes.begin() + b.size);
    auto d = makeDecoder(m, ",");
    std::vector<std::string> values;
    d->setHandler([&](const MeterDecoder& x) { values.push_back(x.reading().ValueText); });
    for (std::uint8_t byte : stream) d->feed(&byte, 1);
    ASSERT_GE(values.size(), 2u);
    EXPECT_NE(values[0].find(','), std::string::npos) << "the separator passed in is used";
    EXPECT_EQ(values.back()[0], '-');
}
INSTANTIATE_TEST_SUITE_P(AllFamilies, FamilyStream, testing::Values("KR20C", "VC-820", "UT61E", "UT60G", "M-3640D"));

// ---- Chart axis: the full-scale count in the displayed unit ----------------

TEST(FamilyChart, axis_is_full_scale_at_the_current_decimal_mark) {
    auto d = makeDecoder(meter("UT61E"), ".");
    const FamilyFrame f = frameFor(meter("UT61E"), "DCV 1.234");
    d->feed(f.bytes.data(), f.size);
    EXPECT_DOUBLE_EQ(d->axis().maximum, 2.2);
    EXPECT_DOUBLE_EQ(d->reading().ChartValue, 1.234);
    EXPECT_EQ(d->lastScale().factorDecimals, 4);
    EXPECT_EQ(d->lcd().places, 5u);
}

// ---- The table ---------------------------------------------------------------

TEST(MeterTable, default_is_the_shipped_meter) {
    const MeterModel& m = defaultMeter();
    EXPECT_EQ(meterName(m), "KR20C");
    EXPECT_EQ(m.protocol, MeterProtocol::Fs9922);
    EXPECT_EQ(lineText(m.line), "2400 8N1");
    EXPECT_EQ(m.line.dtr, LineLevel::High);
    EXPECT_EQ(m.line.rts, LineLevel::Low);
    EXPECT_EQ(m.fullCount, 6000);
}

struct FindCase { const char* asked; const char* found; };
class MeterTableFind : public testing::TestWithParam<FindCase> {};
TEST_P(MeterTableFind, names_match_loosely) {
    const MeterModel* m = findMeter(GetParam().asked);
    if (!GetParam().found) {
        EXPECT_EQ(m, nullptr);
        return;
    }
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(meterName(*m), GetParam().found);
}
INSTANTIATE_TEST_SUITE_P(Names, MeterTableFind, testing::Values(
    FindCase{"UT61E", "UNI-T UT61E"}, FindCase{"uni-t ut61e", "UNI-T UT61E"}, FindCase{"UNI-T UT-61E", "UNI-T UT61E"},
    FindCase{"kr20c", "KR20C"}, FindCase{"Voltcraft M-4650CR", "Voltcraft M-4650CR"},
    FindCase{"UT99", nullptr}, FindCase{"", nullptr}, FindCase{"UNI-T", nullptr}));

// The cables of these models must find DTR and RTS as the port opened them.
TEST(MeterTable, some_cables_need_their_modem_lines_left_as_is) {
    for (const char* name : {"PCE-DM32", "VA18B", "VA40B"}) {
        SCOPED_TRACE(name);
        const MeterModel& m = meter(name);
        EXPECT_EQ(m.line.dtr, LineLevel::AsIs);
        EXPECT_EQ(m.line.rts, LineLevel::AsIs);
    }
}

TEST(MeterTable, every_row_has_a_decoder_a_source_and_sane_line_settings) {
    for (const MeterModel& m : meterTable()) {
        SCOPED_TRACE(meterName(m));
        EXPECT_NE(makeDecoder(m, "."), nullptr);
        EXPECT_FALSE(m.source.empty());
        EXPECT_GT(m.fullCount, 0);
        EXPECT_TRUE(m.line.dataBits == 7 || m.line.dataBits == 8);
        EXPECT_EQ(m.line.pollCommand.empty(), m.line.pollIntervalMs == 0);
        EXPECT_EQ(findMeter(meterName(m)), &m) << "names are unique";
        // The "USB to Serial" cable is the one cable set to a baud.
        EXPECT_EQ(m.cableBaud > 0, m.cable == Cable::UtD04);
    }
}

}  // namespace
}  // namespace meterlink

namespace meterlink {
namespace {

// ---- Metex lines as the meters print them ----------------------------------

// A 14-byte Metex line: two bytes of mode, seven of value, four of unit, CR.
Bytes metexLine(const char* mode, const char* value, const char* unit) {
    char text[15];
    std::snprintf(text, sizeof text, "%-2.2s%7.7s%-4.4s\r", mode, value, unit);
    return Bytes(text, text + 14);
}

struct MetexCase {
    const char* name;
    const char* meter;
    Bytes line;
    const char* value;
    const char* function;
    const char* unit;
    std::vector<Lcd> on;
};

void PrintTo(const MetexCase& c, std::ostream* os) { *os << c.name; }

class MetexLine : public testing::TestWithParam<MetexCase> {};

TEST_P(MetexLine, reads_what_the_meter_shows) {
    const MetexCase& c = GetParam();
    auto d = makeDecoder(meter(c.meter), ".");
    d->feed(c.line.data(), c.line.size());
    ASSERT_EQ(d->decodedCount(), 1u) << std::string(c.line.begin(), c.line.end());
    EXPECT_EQ(d->reading().ValueText, c.value);
    EXPECT_EQ(d->reading().FunctionText, c.function);
    EXPECT_EQ(d->reading().UnitText, c.unit);
    for (Lcd i : c.on) EXPECT_TRUE(d->lcd().shown(i)) << static_cast<int>(i);
}

const MetexCase kMetexLines[] = {
    {"fahrenheit", "M-3640D", metexLine("TE", "0077", "F"), "0077", "TMP", "?", {Lcd::FS}},
    {"decibel_milliwatt", "M-4650CR", metexLine("DB", "-12.34", "dBm"), "-12.34", "dB", "dBm", {}},
    {"decibel", "M-4650CR", metexLine("DB", "3.21", "dB"), "3.21", "dB", "dB", {}},
    {"watts", "M-3640D", metexLine("W", "1.234", "W"), "1.234", "Power", "W", {}},
    {"watts_blank_mode", "M-3640D", metexLine("", "1.234", "W"), "1.234", "Power", "W", {}},
    {"maximum_stored", "M-3640D", metexLine("MX", "1.234", "V"), "1.234", "DC", "V", {Lcd::Max, Lcd::V}},
    {"minimum_stored", "M-3640D", metexLine("MN", "-0.012", "V"), "-0.012", "DC", "V", {Lcd::Min}},
    {"average_stored", "M-3640D", metexLine("AG", "12.34", "mA"), "12.34", "DC", "mA", {Lcd::Milli, Lcd::A}},
    {"continuity", "M-3640D", metexLine("CO", "012.3", "OHM"), "012.3", "CTN", "*", {Lcd::Fm, Lcd::Ohm}},
    {"logic_ready", "M-3640D", metexLine("LO", "READY", ""), "READY", "Logic", "", {}},
    {"logic_float", "M-3640D", metexLine("LO", "FLOAT", ""), "FLOAT", "Logic", "", {}},
    {"logic_high", "M-3640D", metexLine("LO", "Hi", ""), "Hi", "Logic", "", {}},
    {"logic_low_blank_mode", "M-3640D", metexLine("", "Lo", ""), "Lo", "Logic", "", {}},
    {"overload_lower_case", "M-3640D", metexLine("DC", "-o.l", "V"), "0L", "DC", "V", {Lcd::Dc1}},
    {"overload_lower_case_ohms", "M-3640D", metexLine("OH", "ol", "MOhm"), "0L", "OHM", "M*", {Lcd::Mega}},
    {"hertz", "M-3640D", metexLine("FR", "50.00", "Hz"), "50.00", "Freq", "Hz", {Lcd::Hz}},
    {"megahertz", "M-3640D", metexLine("FR", "1.234", "MHz"), "1.234", "Freq", "MHz", {Lcd::Hz, Lcd::Mega}},
    {"two_thousand_counts", "ME-21", metexLine("DI", "0020", "mV"), "0020", "Diode", "mV", {Lcd::DI}},
};
INSTANTIATE_TEST_SUITE_P(Metex, MetexLine, testing::ValuesIn(kMetexLines),
                         [](const auto& p) { return std::string(p.param.name); });

// A meter with four displays answers each poll with four lines, the main
// display first: one reading per answer.
TEST(MetexFourDisplays, each_answer_is_one_reading_of_its_main_display) {
    for (const char* name : {"M-3860M", "4390A"}) {
        SCOPED_TRACE(name);
        auto d = makeDecoder(meter(name), ".");
        std::vector<std::string> values;
        d->setHandler([&](const MeterDecoder& x) { values.push_back(x.reading().ValueText); });
        Bytes stream;
        for (const char* main : {"1.234", "1.235"})
            for (const Bytes& line : {metexLine("AC", main, "V"), metexLine("FR", "50.00", "Hz"),
                                      metexLine("DB", "3.21", "dB"), metexLine("AC", "0.012", "V")})
                stream.insert(stream.end(), line.begin(), line.end());
        d->feed(stream.data(), stream.size());
        EXPECT_EQ(values, (std::vector<std::string>{"1.234", "1.235"}));
        EXPECT_EQ(d->reading().FunctionText, "AC");
    }
}

// ---- Per-model switches of the FS9922 ------------------------------------

struct Z1Case {
    const char* meter;
    const char* value;
    const char* function;
    const char* unit;
};
class Fs9922Z1 : public testing::TestWithParam<Z1Case> {};

TEST_P(Fs9922Z1, z1_means_what_the_model_wired_it_to) {
    // LF, then '+0512', blank, point code 1, status bytes with only z1 set.
    const Bytes stream{0x0A, '+', '0', '5', '1', '2', ' ', '1', 0x00, 0x80, 0x00, 0x00, 0x0D, 0x0A};
    auto d = makeDecoder(meter(GetParam().meter), ".");
    d->feed(stream.data(), stream.size());
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->reading().ValueText, GetParam().value);
    EXPECT_EQ(d->reading().FunctionText, GetParam().function);
    EXPECT_EQ(d->reading().UnitText, GetParam().unit);
}
INSTANTIATE_TEST_SUITE_P(Models, Fs9922Z1,
                         testing::Values(Z1Case{"VC-830", "0.512", "Diode", "V"}, Z1Case{"UT61D", "0.512", "", ""}),
                         [](const auto& p) { return std::string(p.param.meter == std::string("VC-830") ? "vc830_diode" : "ut61d_range_flag"); });

TEST(MeterTable, models_the_public_lists_tie_to_our_families) {
    struct Row { const char* name; MeterProtocol protocol; const char* line; };
    const Row rows[] = {
        {"Metex ME-21", MeterProtocol::Metex14, "2400 7N2"},
        {"Metex M-3860M", MeterProtocol::Metex14, "9600 7N2"},
        {"PeakTech 4390A", MeterProtocol::Metex14, "9600 7N2"},
        {"PeakTech 2025", MeterProtocol::Fs9922, "2400 8N1"},
        {"Voltcraft VC-830", MeterProtocol::Fs9922, "2400 8N1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const MeterModel* m = findMeter(r.name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->protocol, r.protocol);
        EXPECT_EQ(lineText(m->line), r.line);
    }
}

}  // namespace
}  // namespace meterlink
