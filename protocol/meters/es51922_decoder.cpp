// ES51922: 22000 counts, five digits, 14-byte frames.
#include "es519xx_decoder.h"

namespace meterlink {

namespace {

constexpr EsRange kNone{nullptr, 0};

constexpr EsFunction kFunctions[] = {
    {0x3B, "", false, {{{"V", 1}, {"V", 2}, {"V", 3}, {"V", 4}, {"mV", 3}, kNone, kNone, kNone}}},
    {0x3D, "", true, {{{"uA", 3}, {"uA", 4}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x3F, "", true, {{{"mA", 2}, {"mA", 3}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x30, "", true, {{{"A", 2}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x39, "", true, {{{"A", 1}, {"A", 2}, {"A", 3}, {"A", 4}, {"A", 0}, kNone, kNone, kNone}}},
    {0x33, "OHM", false, {{{"*", 3}, {"k*", 1}, {"k*", 2}, {"k*", 3}, {"M*", 1}, {"M*", 2}, {"M*", 3}, kNone}}},
    {0x35, "CTN", false, {{{"*", 3}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x31, "Diode", false, {{{"V", 1}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
    // Range index 2 is not a frequency range of the chip.
    {0x32, "Freq", false, {{{"Hz", 3}, {"Hz", 4}, kNone, {"kHz", 2}, {"kHz", 3}, {"MHz", 1}, {"MHz", 2}, {"MHz", 3}}}},
    {0x36, "CAP", false, {{{"nF", 2}, {"nF", 3}, {"uF", 1}, {"uF", 2}, {"uF", 3}, {"mF", 1}, {"mF", 2}, {"mF", 3}}}},
    {0x34, "TMP", false, {{{"#", 4}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
};

// With VBAR set the automatic uA and mA positions are the 220 A / 2200 A and
// 22 A / 220 A ranges.
constexpr EsFunction kVbarFunctions[] = {
    {0x3D, "", true, {{{"A", 3}, {"A", 4}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x3F, "", true, {{{"A", 2}, {"A", 3}, kNone, kNone, kNone, kNone, kNone, kNone}}},
};

constexpr EsOption kOptions[] = {
    {8, 8, EsOption::Max},     {8, 4, EsOption::Min},     {8, 2, EsOption::Rel},
    {9, 4, EsOption::PeakMax}, {9, 2, EsOption::PeakMin}, {9, 8, EsOption::Underflow}, {9, 1, EsOption::Zero},
    {10, 8, EsOption::Dc},     {10, 4, EsOption::Ac},     {10, 2, EsOption::Auto}, {10, 1, EsOption::VaHz},
    {11, 8, EsOption::Zero},   {11, 4, EsOption::Vbar},   {11, 2, EsOption::Hold}, {11, 1, EsOption::Lpf},
};

static_assert(kFunctions[8].code == 0x32, "the frequency function");

}  // namespace

const EsLayout kEs51922Layout{5, 14, kFunctions, std::size(kFunctions), kOptions, std::size(kOptions),
                              &kFunctions[8], {"%", 4}, kVbarFunctions, std::size(kVbarFunctions)};

}  // namespace meterlink
