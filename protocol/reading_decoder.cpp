#include "reading_decoder.h"

#include "frame_check.h"
#include "status_bits.h"

namespace meterlink {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int lowNibble(const MeterFrame& f, std::size_t byteNo) { return f.byte(byteNo) & 0x0F; }

bool statusSet(const MeterFrame& f, std::uint8_t byteNo, std::uint8_t mask) {
    return (f.byte(byteNo) & mask) != 0;
}

// The indicators a frame starts from: every annunciator hidden. The decimal
// marks and the digit captions are always set by the frame itself, and the
// "data received" picture stays on once shown.
void resetIndicators(LcdState& lcd) {
    const bool p1 = lcd.shown(Lcd::P1), p2 = lcd.shown(Lcd::P2), p3 = lcd.shown(Lcd::P3);
    lcd.on.reset();
    lcd.set(Lcd::P1, p1);
    lcd.set(Lcd::P2, p2);
    lcd.set(Lcd::P3, p3);
}

// Most frames repeat the previous texts; comparing is cheaper than copying.
void setText(std::string& field, std::string_view value) {
    if (field != value) field.assign(value.data(), value.size());
}

}  // namespace

ReadingDecoder::ReadingDecoder(std::int32_t fullCount) : modelFullCount_(fullCount), lcd_(LcdState::initial()) {
    reading_.FullCount = fullCount;
    axis_.maximum = fullCount;
    axis_.minimum = -fullCount;
}

DecodeResult ReadingDecoder::decode(const MeterFrame& f, std::string_view sep) {
    // Digit and point nibbles must be decimal digits, except the three digit
    // places that an overload ("0L") leaves unread. Checked before anything
    // changes so that a corrupt frame leaves the last reading standing.
    const bool overload = lowNibble(f, 2) == 0x0F;
    if (lowNibble(f, 7) > 9)
        return DecodeResult::BadDigit;
    if (!overload)
        for (std::size_t b = 2; b <= 5; ++b)
            if (lowNibble(f, b) > 9)
                return DecodeResult::BadDigit;
    if (!frameIsPlausible(f, modelFullCount_))
        return DecodeResult::NoMeterFrame;

    MeterReading& r = reading_;

    // Reset.
    resetIndicators(lcd_);
    // The texts are worked out as literals and stored once at the end.
    const char* function = "";
    const char* unit = "";
    lcd_.set(Lcd::Send);

    // Digits and decimal point.
    char d[4];
    for (std::size_t i = 0; i < 4; ++i)
        d[i] = kHex[lowNibble(f, i + 2)];
    const int pointCode = lowNibble(f, 7);
    lcd_.set(Lcd::P1, pointCode == 1);
    lcd_.set(Lcd::P2, pointCode == 2);
    lcd_.set(Lcd::P3, pointCode == 4);

    // Status bits in their test order; diode, continuity and ohm also name
    // the function as they are met.
    for (const StatusBit& s : kStatusBits) {
        if (!statusSet(f, s.byte, s.mask))
            continue;
        lcd_.set(s.indicator);
        switch (s.indicator) {
        case Lcd::DI:
            function = "Diode";
            unit = "V";
            lcd_.set(Lcd::V);
            break;
        case Lcd::Fm: function = "CTN"; break;
        case Lcd::Ohm: function = "OHM"; break;
        default: break;
        }
    }
    const bool autoRange = statusSet(f, kAutoRangeBit.byte, kAutoRangeBit.mask);
    lcd_.set(Lcd::Auto, autoRange);
    const char* autoText = autoRange ? "AUTO" : "MANU";

    // Overload shows "0L" in the middle places.
    if (overload) {
        d[0] = '\0';
        d[1] = '0';
        d[2] = '@';
        d[3] = '\0';
    }
    const bool negative = lowNibble(f, 1) == 0x0D;
    lcd_.set(Lcd::FH, negative);

    // Function and unit texts; each later line overrides an earlier one.
    if (lcd_.shown(Lcd::AC)) function = "AC";
    if (lcd_.shown(Lcd::Dc1)) function = "DC";
    if (lcd_.shown(Lcd::V)) unit = "V";
    if (lcd_.shown(Lcd::A)) unit = "A";
    if (lcd_.shown(Lcd::Ohm)) unit = "*";
    if (lcd_.shown(Lcd::F)) { unit = "F"; function = "CAP"; }
    if (lcd_.shown(Lcd::CS)) { unit = "#"; function = "TMP"; }
    if (lcd_.shown(Lcd::FS)) { unit = "?"; function = "TMP"; }
    if (lcd_.shown(Lcd::Hz)) { unit = "Hz"; function = "Freq"; }
    if (lcd_.shown(Lcd::BF)) { unit = "%"; function = "DutyCycle"; }

    const bool nano = lcd_.shown(Lcd::Nano), milli = lcd_.shown(Lcd::Milli),
               micro = lcd_.shown(Lcd::Micro);
    struct Prefixed { Lcd unit; const char* n; const char* m; const char* u; };
    static constexpr Prefixed kPrefixed[] = {
        {Lcd::V, "nV", "mV", "uV"}, {Lcd::A, "nA", "mA", "uA"}, {Lcd::F, "nF", "mF", "uF"}};
    for (const Prefixed& p : kPrefixed) {
        if (!lcd_.shown(p.unit)) continue;
        if (nano) unit = p.n;
        if (milli) unit = p.m;
        if (micro) unit = p.u;
    }
    if (lcd_.shown(Lcd::Ohm)) {
        if (lcd_.shown(Lcd::Kilo)) unit = "k*";
        if (lcd_.shown(Lcd::Mega)) unit = "M*";
    }
    // The LCD shows "kHz" and "MHz": the unit carries the prefix, so that
    // every SI value, export and verdict reads the frequency the meter shows.
    if (lcd_.shown(Lcd::Hz) && !lcd_.shown(Lcd::BF)) {
        if (lcd_.shown(Lcd::Kilo)) unit = "kHz";
        if (lcd_.shown(Lcd::Mega)) unit = "MHz";
    }

    setText(r.FunctionText, function);
    setText(r.UnitText, unit);
    setText(r.AutoText, autoText);

    // Value text: built in a fixed buffer so a frame allocates nothing.
    char text[64];
    std::size_t n = 0;
    auto put = [&](std::string_view s) {
        for (char c : s)
            if (n < sizeof text) text[n++] = c;
    };
    auto mark = [&](bool shown) { if (shown) put(sep); };
    if (overload) {
        mark(pointCode == 1);
        put("0");
        mark(pointCode == 2);
        put("L");
        mark(pointCode == 4);
    } else {
        if (negative) put("-");
        put({&d[0], 1});
        mark(pointCode == 1);
        put({&d[1], 1});
        mark(pointCode == 2);
        put({&d[2], 1});
        mark(pointCode == 4);
        put({&d[3], 1});
    }
    setText(r.ValueText, {text, n});

    // The count, with the full-scale count of the previous frame for overload.
    if (overload) {
        const double over = static_cast<double>(r.FullCount) + 1;
        r.ReadingValue = negative ? -over : over;
    } else {
        const int count = (d[0] - '0') * 1000 + (d[1] - '0') * 100 + (d[2] - '0') * 10 + (d[3] - '0');
        r.ReadingValue = negative ? -count : count;
    }

    for (std::size_t i = 0; i < 4; ++i)
        lcd_.digits[i] = d[i];

    // Full-scale count for the next frame, chart range and scaled value.
    r.FullCount = fullCountForUnit(r.UnitText);
    ScaleInput in;
    in.function = r.FunctionText;
    in.unit = r.UnitText;
    in.lcd = &lcd_;
    in.continuityBit = statusSet(f, kContinuityBit.byte, kContinuityBit.mask);
    in.flag97 = statusSet(f, kFlag97Byte, kFlag97Mask);
    scale_ = chooseChartScale(in);
    r.ChartValue = r.ReadingValue * scale_.factor;
    if (scale_.matched) {
        axis_.maximum = scale_.bound;
        axis_.minimum = -scale_.bound;
    }

    r.NewReadingFlag = true;

    progressChanged_ = axis_.maximum != axis_.rememberedMaximum;
    if (progressChanged_)
        axis_.progressMaximum = static_cast<int>(axis_.maximum);
    axis_.rememberedMaximum = axis_.maximum;
    return DecodeResult::Decoded;
}

}  // namespace meterlink
