// ES51986: 6000 counts, four digits, 11-byte frames.
#include "es519xx_decoder.h"

namespace meterlink {

namespace {

constexpr EsRange kNone{nullptr, 0};

constexpr EsFunction kFunctions[] = {
    {0x3B, "", false, {{{"V", 1}, {"V", 2}, {"V", 3}, {"V", 0}, {"mV", 3}, kNone, kNone, kNone}}},
    {0x3D, "", true, {{{"uA", 3}, {"uA", 0}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x3F, "", true, {{{"mA", 2}, {"mA", 3}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x30, "", true, {{{"A", 1}, {"A", 2}, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x39, "", true, {{{"A", 1}, {"A", 2}, kNone, kNone, kNone, kNone, kNone, kNone}}},   // manual 10 A
    {0x33, "OHM", false, {{{"*", 3}, {"k*", 1}, {"k*", 2}, {"k*", 3}, {"M*", 1}, {"M*", 2}, kNone, kNone}}},
    {0x35, "CTN", false, {{{"*", 3}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x31, "Diode", false, {{{"V", 1}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
    {0x32, "Freq", false, {{{"kHz", 1}, {"kHz", 2}, {"kHz", 3}, {"MHz", 1}, {"MHz", 2}, kNone, kNone, kNone}}},
    {0x36, "CAP", false, {{{"nF", 1}, {"nF", 2}, {"nF", 3}, {"uF", 1}, {"uF", 2}, {"uF", 3}, {"mF", 1}, kNone}}},
    {0x34, "TMP", false, {{{"#", 0}, kNone, kNone, kNone, kNone, kNone, kNone, kNone}}},
};

constexpr EsOption kOptions[] = {
    {7, 8, EsOption::Hold}, {7, 4, EsOption::Max},  {7, 2, EsOption::Min},  {7, 1, EsOption::Zero},
    {8, 8, EsOption::Dc},   {8, 4, EsOption::Ac},   {8, 2, EsOption::Auto}, {8, 1, EsOption::VaHz},
};

static_assert(kFunctions[8].code == 0x32, "the frequency function");

}  // namespace

const EsLayout kEs51986Layout{4, 11, kFunctions, std::size(kFunctions), kOptions, std::size(kOptions),
                              &kFunctions[8], {nullptr, 0},   // no duty cycle: the judge bit is hertz or rpm
                              nullptr, 0, true, 9999};

}  // namespace meterlink
