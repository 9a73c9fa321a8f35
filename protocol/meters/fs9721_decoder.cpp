#include "fs9721_decoder.h"

namespace meterlink {

namespace {

struct Glyph {
    std::uint8_t segments;
    char glyph;
};
constexpr Glyph kGlyphs[] = {
    {0x7D, '0'}, {0x05, '1'}, {0x5B, '2'}, {0x1F, '3'}, {0x27, '4'}, {0x3E, '5'},
    {0x7E, '6'}, {0x15, '7'}, {0x7F, '8'}, {0x3F, '9'}, {0x00, '\0'}, {0x68, 'L'},
};
constexpr char kNoGlyph = 0x7F;

// Annunciator bits: byte index (0-based), bit mask, what it lights.
enum class Fs : std::uint8_t { Ac, Dc, Auto, Rs232, Micro, Nano, Kilo, Diode, Milli, Percent, Mega, Beep,
                               Farad, Ohm, Rel, Hold, Ampere, Volt, Hertz, Battery };
struct Bit {
    std::uint8_t byte;
    std::uint8_t mask;
    Fs flag;
};
constexpr Bit kBits[] = {
    {0, 8, Fs::Ac},      {0, 4, Fs::Dc},      {0, 2, Fs::Auto},  {0, 1, Fs::Rs232},
    {9, 8, Fs::Micro},   {9, 4, Fs::Nano},    {9, 2, Fs::Kilo},  {9, 1, Fs::Diode},
    {10, 8, Fs::Milli},  {10, 4, Fs::Percent}, {10, 2, Fs::Mega}, {10, 1, Fs::Beep},
    {11, 8, Fs::Farad},  {11, 4, Fs::Ohm},    {11, 2, Fs::Rel},  {11, 1, Fs::Hold},
    {12, 8, Fs::Ampere}, {12, 4, Fs::Volt},   {12, 2, Fs::Hertz}, {12, 1, Fs::Battery},
};

struct Flags {
    unsigned bits = 0;
    bool has(Fs f) const { return (bits >> static_cast<unsigned>(f)) & 1u; }
};

int countOf(const Flags& f, std::initializer_list<Fs> set) {
    int n = 0;
    for (Fs x : set) n += f.has(x);
    return n;
}

// Unit texts by quantity and prefix (none, nano, micro, milli, kilo, mega).
struct UnitRow {
    Fs quantity;
    const char* texts[6];
};
constexpr UnitRow kUnits[] = {
    {Fs::Volt, {"V", "nV", "uV", "mV", "kV", "MV"}},
    {Fs::Ampere, {"A", "nA", "uA", "mA", "kA", "MA"}},
    {Fs::Ohm, {"*", "n*", "u*", "m*", "k*", "M*"}},
    {Fs::Farad, {"F", "nF", "uF", "mF", "kF", "MF"}},
    {Fs::Hertz, {"Hz", "nHz", "uHz", "mHz", "kHz", "MHz"}},
};

// Which unit each prefix stands before on this chip's ranges.
struct PrefixUse {
    Fs prefix;
    Fs quantity;
};
constexpr PrefixUse kPrefixUses[] = {
    {Fs::Milli, Fs::Volt},  {Fs::Micro, Fs::Ampere}, {Fs::Milli, Fs::Ampere},
    {Fs::Kilo, Fs::Ohm},    {Fs::Mega, Fs::Ohm},     {Fs::Nano, Fs::Farad},
    {Fs::Micro, Fs::Farad}, {Fs::Milli, Fs::Farad},  {Fs::Kilo, Fs::Hertz},
    {Fs::Mega, Fs::Hertz},
};

// The frequency counter shows up to 9999 counts whatever the meter's range count.
constexpr long kFrequencyCount = 9999;

}  // namespace

char fs9721Glyph(std::uint8_t segments) {
    for (const Glyph& g : kGlyphs)
        if (g.segments == segments) return g.glyph;
    return kNoGlyph;
}

std::uint8_t fs9721Segments(char glyph) {
    for (const Glyph& g : kGlyphs)
        if (g.glyph == glyph) return g.segments;
    return 0;
}

Fs9721Decoder::Fs9721Decoder(const MeterModel& model, std::string_view sep) : DisplayDecoder(model, sep, 4) {}

void Fs9721Decoder::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        const std::size_t index = b >> 4;
        if (index == 1) {
            // A frame cut short by a new first byte is lost.
            if (have_ != 0) countRejected();
            have_ = 0;
        } else if (index != have_ + 1) {
            if (have_ != 0) countRejected();
            have_ = 0;
            continue;
        }
        frame_[have_++] = b;
        if (have_ == kFs9721FrameBytes) {
            if (!decodeFrame()) countRejected();
            have_ = 0;
        }
    }
}

bool Fs9721Decoder::decodeFrame() {
    const std::uint8_t* f = frame_;
    Flags flags;
    for (const Bit& b : kBits)
        if (f[b.byte] & b.mask) flags.bits |= 1u << static_cast<unsigned>(b.flag);

    // The checks follow the frame from its first byte to its last, each
    // refusing what the chip cannot send there.

    // Byte 1: the chip lights its RS232 symbol whenever it sends, and AC and
    // DC are one switch position or the other.
    if (!flags.has(Fs::Rs232) || (flags.has(Fs::Ac) && flags.has(Fs::Dc))) return false;

    // Bytes 2-9: four digits of seven segments each, a minus sign and three
    // decimal marks. Every digit is a glyph; blanks only lead; 'L' only in
    // the overload "0L"; one mark at most.
    char glyph[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t segments =
            static_cast<std::uint8_t>(((f[1 + 2 * i] & 0x07) << 4) | (f[2 + 2 * i] & 0x0F));
        glyph[i] = fs9721Glyph(segments);
        if (glyph[i] == kNoGlyph) return false;
    }
    const bool overload = glyph[0] == '\0' && glyph[1] == '0' && glyph[2] == 'L' && glyph[3] == '\0';
    if (!overload) {
        bool leading = true;
        for (std::size_t i = 0; i < 4; ++i) {
            if (glyph[i] == 'L' || (glyph[i] == '\0' && (!leading || i == 3))) return false;
            if (glyph[i] != '\0') leading = false;
        }
    }
    int points = 0;
    std::size_t pointAfter = 0;
    for (std::size_t i = 1; i < 4; ++i)
        if (f[1 + 2 * i] & 0x08) {
            ++points;
            pointAfter = i;
        }
    if (points > 1) return false;
    const bool negative = (f[1] & 0x08) != 0;

    // Bytes 10-13: one prefix and one unit at most, and the prefix one the
    // unit's ranges use.
    const int prefixes = countOf(flags, {Fs::Nano, Fs::Micro, Fs::Milli, Fs::Kilo, Fs::Mega});
    if (prefixes > 1 || countOf(flags, {Fs::Hertz, Fs::Ohm, Fs::Farad, Fs::Ampere, Fs::Volt, Fs::Percent}) > 1)
        return false;
    if (prefixes == 1) {
        const Fs prefix = flags.has(Fs::Nano) ? Fs::Nano : flags.has(Fs::Micro) ? Fs::Micro
                        : flags.has(Fs::Milli) ? Fs::Milli : flags.has(Fs::Kilo) ? Fs::Kilo : Fs::Mega;
        bool fits = false;
        for (const PrefixUse& u : kPrefixUses)
            if (u.prefix == prefix && flags.has(u.quantity)) fits = true;
        if (!fits) return false;
    }
    // The beeper sounds on the resistance range (and the diode test's).
    if (flags.has(Fs::Beep) && !flags.has(Fs::Diode) &&
        countOf(flags, {Fs::Volt, Fs::Ampere, Fs::Farad, Fs::Hertz, Fs::Percent}) > 0)
        return false;
    // The diode test reads volts.
    if (flags.has(Fs::Diode) && countOf(flags, {Fs::Ampere, Fs::Ohm, Fs::Farad, Fs::Hertz, Fs::Percent}) > 0)
        return false;
    // AC and DC qualify volts and amperes, and never stand alone.
    if ((flags.has(Fs::Ac) || flags.has(Fs::Dc)) &&
        (countOf(flags, {Fs::Ohm, Fs::Farad, Fs::Hertz, Fs::Percent}) > 0 ||
         countOf(flags, {Fs::Volt, Fs::Ampere, Fs::Diode}) == 0))
        return false;

    // The number itself: within the range, and of the sign the quantity has.
    if (!overload) {
        long count = 0;
        for (std::size_t i = 0; i < 4; ++i) count = count * 10 + (glyph[i] >= '0' && glyph[i] <= '9' ? glyph[i] - '0' : 0);
        const int decimals = pointAfter ? static_cast<int>(4 - pointAfter) : 0;
        const bool counted = flags.has(Fs::Hertz) || flags.has(Fs::Percent);
        if (count > (counted ? kFrequencyCount : model().fullCount)) return false;
        // A frequency or a duty cycle is never below zero; a resistance or a
        // capacitance only relative to a stored one.
        if (negative && (counted || (!flags.has(Fs::Rel) && (flags.has(Fs::Ohm) || flags.has(Fs::Farad)))))
            return false;
        // A duty cycle ends at 100 %: 100, 100.0 or 100.00 in counts.
        static constexpr long kHundredPercent[] = {100, 1000, 10000, 100000};
        if (flags.has(Fs::Percent) && count > kHundredPercent[decimals]) return false;
    }

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    for (std::size_t i = 0; i < 4; ++i) s.digits[i] = glyph[i] == 'L' ? '@' : glyph[i];
    d.overload = overload;
    d.negative = negative;
    d.pointAfter = pointAfter;
    d.autoRange = flags.has(Fs::Auto);

    struct Light { Fs flag; Lcd lcd; };
    static constexpr Light kLights[] = {
        {Fs::Ac, Lcd::AC},     {Fs::Dc, Lcd::Dc1},     {Fs::Rel, Lcd::REL},   {Fs::Hold, Lcd::Hold},
        {Fs::Battery, Lcd::Batt}, {Fs::Nano, Lcd::Nano}, {Fs::Micro, Lcd::Micro}, {Fs::Milli, Lcd::Milli},
        {Fs::Kilo, Lcd::Kilo}, {Fs::Mega, Lcd::Mega},   {Fs::Beep, Lcd::Fm},   {Fs::Diode, Lcd::DI},
        {Fs::Percent, Lcd::BF}, {Fs::Volt, Lcd::V},     {Fs::Ampere, Lcd::A},  {Fs::Ohm, Lcd::Ohm},
        {Fs::Hertz, Lcd::Hz},  {Fs::Farad, Lcd::F},
    };
    for (const Light& l : kLights)
        if (flags.has(l.flag)) s.set(l.lcd);

    const int prefix = flags.has(Fs::Nano) ? 1 : flags.has(Fs::Micro) ? 2 : flags.has(Fs::Milli) ? 3
                     : flags.has(Fs::Kilo) ? 4 : flags.has(Fs::Mega) ? 5 : 0;
    for (const UnitRow& u : kUnits)
        if (flags.has(u.quantity)) d.unit = u.texts[prefix];
    if (flags.has(Fs::Percent)) d.unit = "%";

    if (flags.has(Fs::Ac)) d.function = "AC";
    if (flags.has(Fs::Dc)) d.function = "DC";
    if (flags.has(Fs::Ohm)) d.function = "OHM";
    if (flags.has(Fs::Beep)) d.function = "CTN";
    if (flags.has(Fs::Diode)) { d.function = "Diode"; if (!*d.unit) d.unit = "V"; }
    if (flags.has(Fs::Farad)) d.function = "CAP";
    if (flags.has(Fs::Hertz)) d.function = "Freq";
    if (flags.has(Fs::Percent)) d.function = "DutyCycle";

    // The four free symbols mean what the maker made of them.
    for (std::size_t bit = 0; bit < 4; ++bit) {
        if (!(f[13] & (1u << bit))) continue;
        switch (model().userSymbols[bit]) {
        case UserSymbol::Celsius: d.function = "TMP"; d.unit = "#"; s.set(Lcd::CS); break;
        case UserSymbol::Fahrenheit: d.function = "TMP"; d.unit = "?"; s.set(Lcd::FS); break;
        case UserSymbol::Max: s.set(Lcd::Max); break;
        case UserSymbol::Min: s.set(Lcd::Min); break;
        case UserSymbol::None: break;
        }
    }
    publish();
    return true;
}

}  // namespace meterlink
