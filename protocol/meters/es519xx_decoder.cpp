#include "es519xx_decoder.h"

namespace meterlink {

Es519xxDecoder::Es519xxDecoder(const MeterModel& model, std::string_view sep, const EsLayout& layout)
    : DisplayDecoder(model, sep, layout.places), layout_(layout) {}

void Es519xxDecoder::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (have_ < frame_.size()) frame_[have_] = b;
        ++have_;
        // A frame ends at CR LF; anything else of another length is garbage.
        if (b == kLF && have_ >= 2 && have_ <= frame_.size() && frame_[have_ - 2] == kCR) {
            if (have_ != layout_.frameBytes || !decodeFrame()) countRejected();
            have_ = 0;
        } else if (b == kLF) {
            countRejected();
            have_ = 0;
        }
    }
}

bool Es519xxDecoder::decodeFrame() {
    const EsLayout& L = layout_;
    const std::uint8_t* f = frame_.data();
    const std::size_t body = L.frameBytes - 2;
    // Every byte before CR LF is 0x30-0x3F: a set eighth bit or another high
    // nibble is line noise or a wrong parity setting.
    for (std::size_t i = 0; i < body; ++i)
        if ((f[i] & 0xF0) != 0x30) return false;
    const std::size_t functionByte = kEsFirstDigit + L.places;
    const std::uint8_t status = f[functionByte + 1];
    const bool overload = status & kEsOverload;
    if (!overload)
        for (std::size_t i = 0; i < L.places; ++i)
            if (f[kEsFirstDigit + i] > '9') return false;

    bool opt[EsOption::Apo + 1]{};
    for (std::size_t i = 0; i < L.optionCount; ++i)
        if (f[L.options[i].byte] & L.options[i].mask) opt[L.options[i].what] = true;

    const EsFunction* fn = nullptr;
    for (std::size_t i = 0; i < L.functionCount; ++i)
        if (L.functions[i].code == f[functionByte]) fn = &L.functions[i];
    if (!fn) return false;   // adapter inputs and codes the chip does not define
    const bool judge = status & kEsJudge;

    // Hz on the V or A position, and the judge bit turning Hz into duty cycle.
    const EsFunction* ranges = fn;
    const char* function = fn->function;
    bool duty = false;
    if ((opt[EsOption::VaHz] && !*fn->function) || fn == L.frequency) {
        ranges = L.frequency;
        function = "Freq";
        duty = judge;
    }
    const std::size_t rangeIndex = f[kEsRangeByte] & 0x0F;
    if (rangeIndex >= 8) return false;
    EsRange range = duty ? L.duty : ranges->ranges[rangeIndex];
    if (!range.unit) return false;
    if (duty) function = "DutyCycle";
    if (!*function) function = opt[EsOption::Ac] ? "AC" : "DC";
    if (fn->function == std::string_view("TMP") && !judge) range.unit = "?";

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    for (std::size_t p = 1; p <= L.places; ++p) setPlace(d.lcd, p, static_cast<char>(f[kEsFirstDigit + p - 1]));
    d.overload = overload;
    d.negative = status & kEsSign;
    d.pointAfter = range.pointAfter;
    d.autoRange = opt[EsOption::Auto];
    d.function = function;
    d.unit = range.unit;
    s.set(Lcd::Batt, status & kEsBattery);

    struct Light { EsOption::What what; Lcd lcd; };
    static constexpr Light kLights[] = {
        {EsOption::Hold, Lcd::Hold}, {EsOption::Max, Lcd::Max}, {EsOption::Min, Lcd::Min},
        {EsOption::Rel, Lcd::REL},   {EsOption::Dc, Lcd::Dc1},  {EsOption::Ac, Lcd::AC},
    };
    for (const Light& l : kLights) s.set(l.lcd, opt[l.what]);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::PeakMax), opt[EsOption::PeakMax]);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::PeakMin), opt[EsOption::PeakMin]);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::AutoPowerOff), opt[EsOption::Apo]);

    // Unit and prefix annunciators from the unit text.
    const std::string_view u = d.unit;
    const char prefix = u.size() > 1 && u != "Hz" ? u[0] : '\0';
    s.set(Lcd::Nano, prefix == 'n');
    s.set(Lcd::Micro, prefix == 'u');
    s.set(Lcd::Milli, prefix == 'm');
    s.set(Lcd::Kilo, prefix == 'k');
    s.set(Lcd::Mega, prefix == 'M');
    const char last = u.empty() ? '\0' : u.back();
    s.set(Lcd::V, last == 'V');
    s.set(Lcd::A, last == 'A');
    s.set(Lcd::Ohm, last == '*');
    s.set(Lcd::F, last == 'F');
    s.set(Lcd::Hz, last == 'z');
    s.set(Lcd::BF, last == '%');
    s.set(Lcd::CS, last == '#');
    s.set(Lcd::FS, last == '?');
    s.set(Lcd::DI, std::string_view(function) == "Diode");
    s.set(Lcd::Fm, std::string_view(function) == "CTN");
    publish();
    return true;
}

}  // namespace meterlink
