#include "unit_abcd_tables.h"

namespace meterlink {

namespace {

constexpr Lcd N = Lcd::Count;

// Mode codes as the meters send them; 0x13 and up (live wire, NCV, LoZ,
// LPF) show no number and are left out.
constexpr AbCdMode kModes[] = {
    {0x00, "AC", Lcd::V, Lcd::AC, 4, 4, {"V", "V", "V", "V"}},
    {0x01, "AC", Lcd::V, Lcd::AC, 1, 2, {"mV", "mV"}},
    {0x02, "DC", Lcd::V, Lcd::Dc1, 4, 4, {"V", "V", "V", "V"}},
    {0x03, "DC", Lcd::V, Lcd::Dc1, 1, 2, {"mV", "mV"}},
    {0x04, "Freq", Lcd::Hz, N, 8, 7, {"Hz", "Hz", "kHz", "kHz", "kHz", "MHz", "MHz", "MHz"}},
    {0x05, "DutyCycle", Lcd::BF, N, 1, 1, {"%"}},
    {0x06, "OHM", Lcd::Ohm, N, 7, 6, {"*", "k*", "k*", "k*", "M*", "M*", "M*"}},
    {0x07, "CTN", Lcd::Ohm, Lcd::Fm, 1, 1, {"*"}},
    {0x08, "Diode", Lcd::V, Lcd::DI, 1, 1, {"V"}},
    {0x09, "CAP", Lcd::F, N, 8, 7, {"nF", "nF", "uF", "uF", "uF", "mF", "mF", "mF"}},
    {0x0A, "TMP", Lcd::CS, N, 1, 1, {"#"}},
    {0x0B, "TMP", Lcd::FS, N, 1, 1, {"?"}},
    {0x0C, "DC", Lcd::A, Lcd::Dc1, 2, 2, {"uA", "uA"}},
    {0x0D, "AC", Lcd::A, Lcd::AC, 2, 2, {"uA", "uA"}},
    {0x0E, "DC", Lcd::A, Lcd::Dc1, 2, 2, {"mA", "mA"}},
    {0x0F, "AC", Lcd::A, Lcd::AC, 2, 2, {"mA", "mA"}},
    {0x10, "DC", Lcd::A, Lcd::Dc1, 1, 2, {"A", "A"}},
    {0x11, "AC", Lcd::A, Lcd::AC, 1, 2, {"A", "A"}},
    {0x12, "hFE", N, N, 1, 1, {""}},
};

struct Prefix {
    char letter;
    Lcd lcd;
};
constexpr Prefix kPrefixes[] = {{'n', Lcd::Nano}, {'u', Lcd::Micro}, {'m', Lcd::Milli},
                                {'k', Lcd::Kilo}, {'M', Lcd::Mega}};

}  // namespace

const AbCdMode* abCdMode(std::uint8_t code) {
    return code < sizeof kModes / sizeof kModes[0] ? &kModes[code] : nullptr;
}

std::size_t abCdRangeCount(const AbCdMode& mode, int fullCount) {
    return fullCount > 9999 ? mode.ranges22000 : mode.ranges6000;
}

Lcd abCdPrefix(const char* unit) {
    // A unit of one letter has no prefix ("m" alone would be no unit we send).
    if (!unit || !unit[0] || !unit[1]) return Lcd::Count;
    for (const Prefix& p : kPrefixes)
        if (unit[0] == p.letter) return p.lcd;
    return Lcd::Count;
}

const AbCdMode* abCdModes(std::size_t& count) {
    count = sizeof kModes / sizeof kModes[0];
    return kModes;
}

}  // namespace meterlink
