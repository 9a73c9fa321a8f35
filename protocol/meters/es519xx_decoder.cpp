#include "es519xx_decoder.h"

#include <algorithm>

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
            if (have_ != layout_.frameBytes) countRejected();
            else if (secondCopy() && !decodeFrame()) countRejected();
            have_ = 0;
        } else if (b == kLF) {
            countRejected();
            have_ = 0;
        }
    }
}

bool Es519xxDecoder::secondCopy() {
    if (!layout_.sentTwice) return true;
    const auto end = frame_.begin() + static_cast<std::ptrdiff_t>(layout_.frameBytes);
    if (haveFirstCopy_ && std::equal(frame_.begin(), end, firstCopy_.begin())) {
        // The pair is used up: the next conversion starts a new one.
        haveFirstCopy_ = false;
        return true;
    }
    // Not a fault yet: the copy that confirms it is still to come. A copy
    // that is never confirmed is counted when the next one replaces it.
    if (haveFirstCopy_) countRejected();
    std::copy(frame_.begin(), end, firstCopy_.begin());
    haveFirstCopy_ = true;
    return false;
}

namespace {

bool isVoltsOrAmps(const EsFunction& fn) { return !*fn.function; }

}  // namespace

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
    // The chip's digit codes are '0'-'9' only, overload or not.
    long long count = 0;
    for (std::size_t i = 0; i < L.places; ++i) {
        const std::uint8_t c = f[kEsFirstDigit + i];
        if (c > '9') return false;
        count = count * 10 + (c - '0');
    }

    bool opt[EsOption::Zero + 1]{};
    for (std::size_t i = 0; i < L.optionCount; ++i)
        if (f[L.options[i].byte] & L.options[i].mask) opt[L.options[i].what] = true;
    // Bits the chip always sends clear, and states it never shows together.
    if (opt[EsOption::Zero]) return false;
    if (opt[EsOption::Ac] && opt[EsOption::Dc]) return false;
    if (opt[EsOption::PeakMax] && opt[EsOption::PeakMin]) return false;

    const EsFunction* fn = nullptr;
    for (std::size_t i = 0; i < L.functionCount; ++i)
        if (L.functions[i].code == f[functionByte]) fn = &L.functions[i];
    if (!fn) return false;   // adapter inputs and codes the chip does not define
    // Hz mode, AC, peak hold, the filter and the judge bit each belong to some functions
    // only: the V/A positions (Hz, AC, peaks), and frequency and temperature
    // (the judge bit: duty cycle, degrees).
    const bool voltsOrAmps = isVoltsOrAmps(*fn);
    const bool peak = opt[EsOption::PeakMax] || opt[EsOption::PeakMin];
    if (!voltsOrAmps && (opt[EsOption::VaHz] || opt[EsOption::Ac] || peak)) return false;
    if (peak && (opt[EsOption::VaHz] || opt[EsOption::Max] || opt[EsOption::Min])) return false;
    // The low-pass filter is an AC volts mode.
    if (opt[EsOption::Lpf] && !(voltsOrAmps && !fn->current && opt[EsOption::Ac])) return false;
    // VBAR shows how the meter ties the chip's pin: a frame that says
    // otherwise is noise.
    if (opt[EsOption::Vbar] != (model().has(kEsVbar) && L.vbarFunctionCount > 0)) return false;
    if (opt[EsOption::Vbar])
        for (std::size_t i = 0; i < L.vbarFunctionCount; ++i)
            if (L.vbarFunctions[i].code == fn->code) fn = &L.vbarFunctions[i];
    const bool judge = status & kEsJudge;
    const bool negative = status & kEsSign;
    if (judge && !(voltsOrAmps && opt[EsOption::VaHz]) && fn != L.frequency && std::string_view(fn->function) != "TMP")
        return false;

    // Hz on the V or A position, and the judge bit turning Hz into duty cycle
    // (on the ES51986: hertz or rpm, by model).
    const EsFunction* ranges = fn;
    const char* function = fn->function;
    bool duty = false, rpm = false;
    const bool frequency = (opt[EsOption::VaHz] && voltsOrAmps) || fn == L.frequency;
    if (frequency) {
        ranges = L.frequency;
        function = "Freq";
        if (judge) {
            if (L.duty.unit) duty = true;
            else rpm = model().has(kEsJudgeBitIsRpm);
        }
    }
    const std::size_t rangeIndex = f[kEsRangeByte] & 0x0F;
    if (rangeIndex >= 8) return false;
    EsRange range = duty ? L.duty : ranges->ranges[rangeIndex];
    if (!range.unit) return false;
    if (duty) function = "DutyCycle";
    if (!*function) function = opt[EsOption::Ac] ? "AC" : "DC";
    const std::string_view fnText = function;

    // What no meter shows: under-range outside frequency and duty cycle,
    // under and over range at once, negative frequencies, duty cycles and
    // capacitances and resistance values (either only below a relative
    // reference; an overload may carry the sign), duty
    // cycles above 100 % and counts above the range's full scale.
    const bool underflow = opt[EsOption::Underflow];
    if (underflow && (overload || (fnText != "Freq" && fnText != "DutyCycle"))) return false;
    if (negative && (fnText == "Freq" || fnText == "DutyCycle")) return false;
    if (negative && fnText == "CAP" && !opt[EsOption::Rel]) return false;
    if (negative && !overload && fnText == "OHM" && !opt[EsOption::Rel]) return false;
    if (!overload && !underflow) {
        const std::int32_t fullScale =
            fnText == "DutyCycle" ? 1000 : frequency && L.frequencyCount ? L.frequencyCount : model().fullCount;
        if (count > fullScale) return false;
    }

    Display& d = startDisplay();
    LcdState& s = d.lcd.state;
    for (std::size_t p = 1; p <= L.places; ++p) setPlace(d.lcd, p, static_cast<char>(f[kEsFirstDigit + p - 1]));
    d.overload = overload;
    d.underflow = underflow;
    d.negative = negative;
    d.pointAfter = range.pointAfter;
    d.autoRange = opt[EsOption::Auto];
    d.function = rpm ? "RPM" : function;
    d.unit = rpm ? "rpm" : range.unit;
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
    const char prefix = u.size() > 1 && u != "Hz" && u != "rpm" ? u[0] : '\0';
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
    s.set(Lcd::DI, fnText == "Diode");
    s.set(Lcd::Fm, fnText == "CTN");
    publish();
    return true;
}

}  // namespace meterlink
