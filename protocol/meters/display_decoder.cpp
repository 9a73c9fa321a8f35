#include "display_decoder.h"

#include <cmath>

namespace meterlink {

namespace {

void setText(std::string& field, std::string_view value) {
    if (field != value) field.assign(value.data(), value.size());
}

constexpr double kPowersOfTen[] = {1, 0.1, 0.01, 0.001, 0.0001, 0.00001};

const Lcd kMarks[] = {Lcd::P1, Lcd::P2, Lcd::P3};

}  // namespace

DisplayDecoder::DisplayDecoder(const MeterModel& model, std::string_view sep, std::size_t places)
    : MeterDecoder(model, sep), places_(places) {
    reading_.FullCount = model.fullCount;
    axis_.maximum = model.fullCount;
    axis_.minimum = -model.fullCount;
    lcd_.places = places;
    lcd_.state = LcdState::initial();
}

Display& DisplayDecoder::startDisplay() {
    work_ = Display{};
    work_.lcd.places = places_;
    return work_;
}

void DisplayDecoder::publish() {
    Display& d = work_;
    MeterReading& r = reading_;
    const std::size_t places = d.lcd.places;
    LcdState& s = d.lcd.state;
    s.set(Lcd::Send);
    s.set(Lcd::Auto, d.autoRange);
    s.set(Lcd::FH, d.negative && !d.overload && !d.underflow);
    for (std::size_t i = 0; i < 3; ++i) s.set(kMarks[i], d.pointAfter == i + 1);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::P4), d.pointAfter == 4);

    // Value text in a fixed buffer: no allocation per frame.
    const std::string_view sep = decimalSeparator();
    char text[32];
    std::size_t n = 0;
    auto put = [&](std::string_view t) {
        for (char c : t)
            if (n < sizeof text) text[n++] = c;
    };
    long long count = 0;
    if (d.word) {
        put(d.word);
    } else if (d.overload) {
        // "0L" in the middle places, keeping the range's decimal mark as the meter does.
        for (std::size_t p = 1; p <= places; ++p)
            setPlace(d.lcd, p, p == places / 2 ? '0' : p == places / 2 + 1 ? '@' : '\0');
        put("0");
        if (d.pointAfter == places / 2) put(sep);
        put("L");
    } else if (d.underflow) {
        // "UL" in the middle places, no decimal mark: there is no number.
        for (std::size_t p = 1; p <= places; ++p)
            setPlace(d.lcd, p, p == places / 2 ? 'U' : p == places / 2 + 1 ? '@' : '\0');
        for (Lcd mark : kMarks) s.set(mark, false);
        d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::P4), false);
        put("UL");
    } else {
        if (d.negative) put("-");
        for (std::size_t p = 1; p <= places; ++p) {
            const char c = d.lcd.digit(p);
            const int v = c >= '0' && c <= '9' ? c - '0' : 0;
            count = count * 10 + v;
            if (c >= '0' && c <= '9') put({&c, 1});
            if (d.pointAfter == p && p < places) put(sep);
        }
    }
    setText(r.ValueText, {text, n});
    setText(r.FunctionText, d.function);
    setText(r.UnitText, d.unit);
    setText(r.AutoText, d.autoRange ? "AUTO" : "MANU");
    r.FullCount = model().fullCount;
    if (d.overload) {
        const double over = static_cast<double>(r.FullCount) + 1;
        r.ReadingValue = d.negative ? -over : over;
    } else if (d.underflow) {
        r.ReadingValue = 0;   // plotted at the foot of the range it is under
    } else {
        r.ReadingValue = static_cast<double>(d.negative ? -count : count);
    }

    // The axis is the full-scale count in the displayed unit.
    const std::size_t decimals = d.pointAfter ? places - d.pointAfter : 0;
    scale_.matched = true;
    scale_.rule = 0;
    scale_.factor = kPowersOfTen[decimals];
    scale_.factorDecimals = static_cast<int>(decimals);
    scale_.bound = r.FullCount * scale_.factor;
    r.ChartValue = r.ReadingValue * scale_.factor;
    axis_.maximum = scale_.bound;
    axis_.minimum = -scale_.bound;
    r.NewReadingFlag = true;
    progressChanged_ = axis_.maximum != axis_.rememberedMaximum;
    if (progressChanged_) axis_.progressMaximum = static_cast<int>(std::ceil(axis_.maximum));
    axis_.rememberedMaximum = axis_.maximum;

    lcd_ = d.lcd;
    emitReading();
}

}  // namespace meterlink
