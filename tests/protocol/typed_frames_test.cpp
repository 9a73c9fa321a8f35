// Frames typed byte by byte from the chips' datasheets and the meters'
// manuals (their byte tables and printed examples), each with what the LCD
// shows. They do not come from our frame builder, so a misreading of a chip
// cannot hide in both.
#include "protocol/meters/meter_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct TypedFrame {
    const char* name;
    const char* meter;
    Bytes bytes;          // as on the wire
    const char* value;    // what the LCD shows
    const char* function;
    const char* unit;
    const char* autoText;
};

void PrintTo(const TypedFrame& c, std::ostream* os) { *os << c.name; }

class TypedFrames : public testing::TestWithParam<TypedFrame> {};

TEST_P(TypedFrames, decode_to_what_the_lcd_shows) {
    const TypedFrame& c = GetParam();
    const MeterModel* m = findMeter(c.meter);
    ASSERT_NE(m, nullptr);
    auto d = makeDecoder(*m, ".");
    d->feed(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(d->decodedCount(), 1u);
    EXPECT_EQ(d->rejectedCount(), 0u);
    EXPECT_EQ(d->reading().ValueText, c.value);
    EXPECT_EQ(d->reading().FunctionText, c.function);
    EXPECT_EQ(d->reading().UnitText, c.unit);
    EXPECT_EQ(d->reading().AutoText, c.autoText);
}

Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

// FS9922: sign, four ASCII digits, a blank, the point code ('1' x.xxx, '2'
// xx.xx, '4' xxx.x), four status bytes, the bar graph, CR LF. Status byte 1:
// AUTO 0x20, DC 0x10, AC 0x08, REL 0x04, HOLD 0x02; byte 2: MAX 0x20, MIN
// 0x10, BATT 0x04, n 0x02; byte 3: u 0x80, m 0x40, k 0x20, M 0x10, beep
// 0x08, diode 0x04, % 0x02; byte 4: V 0x80, A 0x40, ohm 0x20, Hz 0x08,
// F 0x04, degC 0x02, degF 0x01. The LF in front aligns the first frame.
//
// FS9721: fourteen bytes, the high nibble the byte's number 1-14. Byte 1:
// AC 8, DC 4, AUTO 2, RS232 1. Bytes 2-9: a digit in two bytes, the first
// with the minus (digit 1) or the decimal mark before the digit in bit 3
// and segments E, F, A in bits 2-0, the second with D, C, G, B in bits 3-0.
// Byte 10: u 8, n 4, k 2, diode 1; byte 11: m 8, % 4, M 2, beep 1; byte 12:
// F 8, ohm 4, REL 2, HOLD 1; byte 13: A 8, V 4, Hz 2, BAT 1; byte 14: the
// maker's own symbols.
//
// Metex: two bytes of mode, seven of value, four of unit, CR.
const TypedFrame kFrames[] = {
    {"fs9922_dc_volts_auto", "KR20C",
     {0x0A, '+', '1', '2', '3', '4', ' ', '2', 0x30, 0x00, 0x00, 0x80, 0x00, 0x0D, 0x0A}, "12.34", "DC", "V", "AUTO"},
    {"fs9922_negative_millivolts_manual", "UT61D",
     {0x0A, '-', '0', '1', '2', '3', ' ', '4', 0x10, 0x00, 0x40, 0x80, 0x00, 0x0D, 0x0A}, "-012.3", "DC", "mV", "MANU"},
    {"fs9922_kilohertz", "KR20C",
     {0x0A, '+', '1', '2', '3', '4', ' ', '1', 0x20, 0x00, 0x20, 0x08, 0x00, 0x0D, 0x0A}, "1.234", "Freq", "kHz", "AUTO"},
    {"fs9922_megohms", "UT61C",
     {0x0A, '+', '0', '1', '2', '3', ' ', '2', 0x20, 0x00, 0x10, 0x20, 0x00, 0x0D, 0x0A}, "01.23", "OHM", "M*", "AUTO"},
    {"fs9922_nanofarads", "PeakTech 2025",
     {0x0A, '+', '1', '2', '3', '4', ' ', '2', 0x20, 0x02, 0x00, 0x04, 0x00, 0x0D, 0x0A}, "12.34", "CAP", "nF", "AUTO"},
    {"fs9922_duty_cycle", "SparkFun 70C",
     {0x0A, '+', '0', '5', '0', '0', ' ', '4', 0x20, 0x00, 0x02, 0x00, 0x00, 0x0D, 0x0A}, "050.0", "DutyCycle", "%", "AUTO"},
    {"fs9922_celsius", "UT61B",
     {0x0A, '+', '0', '0', '2', '5', ' ', '0', 0x00, 0x00, 0x00, 0x02, 0x00, 0x0D, 0x0A}, "0025", "TMP", "#", "MANU"},
    {"fs9922_overload_ohms", "KR20C",
     {0x0A, '+', '?', '0', ':', '?', ' ', '2', 0x20, 0x00, 0x00, 0x20, 0x00, 0x0D, 0x0A}, "0.L", "OHM", "*", "AUTO"},
    // DC, AUTO: "1.234 V".
    {"fs9721_dc_volts", "VC-820",
     {0x17, 0x20, 0x35, 0x4D, 0x5B, 0x61, 0x7F, 0x82, 0x97, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0}, "1.234", "DC", "V", "AUTO"},
    // AC, AUTO, minus: "-0.512 V".
    {"fs9721_negative_ac_volts", "UT60A",
     {0x1B, 0x2F, 0x3D, 0x4B, 0x5E, 0x60, 0x75, 0x85, 0x9B, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0}, "-0.512", "AC", "V", "AUTO"},
    // AUTO, k, ohm: "3.999 kohm".
    {"fs9721_kilohms", "TP4000ZC",
     {0x13, 0x21, 0x3F, 0x4B, 0x5F, 0x63, 0x7F, 0x83, 0x9F, 0xA2, 0xB0, 0xC4, 0xD0, 0xE0}, "3.999", "OHM", "k*", "AUTO"},
    // AUTO, M, ohm, the overload letters: "0L Mohm".
    {"fs9721_overload_megohms", "VC-840",
     {0x13, 0x20, 0x30, 0x47, 0x5D, 0x66, 0x78, 0x80, 0x90, 0xA0, 0xB2, 0xC4, 0xD0, 0xE0}, "0L", "OHM", "M*", "AUTO"},
    // Manual range, HOLD, m, A, DC: "12.34 mA".
    {"fs9721_milliamps_hold_manual", "DT4000ZC",
     {0x15, 0x20, 0x35, 0x45, 0x5B, 0x69, 0x7F, 0x82, 0x97, 0xA0, 0xB8, 0xC1, 0xD8, 0xE0}, "12.34", "DC", "mA", "MANU"},
    // The manuals' printed lines.
    {"metex_negative_volts_four_and_a_half_digits", "M-4650CR", text("DC-1.9999   V\r"), "-1.9999", "DC", "V", "MANU"},
    {"metex_megohms", "M-4650CR", text("   1.9999MOhm\r"), "1.9999", "OHM", "M*", "MANU"},
    {"metex_diode_open", "ME-21", text("DI     OL  mV\r"), "0L", "Diode", "mV", "MANU"},
    {"metex_diode_shorted", "ME-21", text("DI   0020  mV\r"), "0020", "Diode", "mV", "MANU"},
};
INSTANTIATE_TEST_SUITE_P(Datasheets, TypedFrames, testing::ValuesIn(kFrames),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace meterlink
