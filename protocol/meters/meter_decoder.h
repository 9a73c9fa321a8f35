#pragma once
// The one interface every meter family's decoder shares: feed it the bytes
// the link delivers, in chunks split anywhere; after each reading it has
// decoded it calls the handler once, before it looks at the next byte.
//
//   auto decoder = makeDecoder(*findMeter("UT61E"), ".");
//   decoder->setHandler([&](const MeterDecoder& d) {
//       show(d.lcd());             // what the meter's LCD shows now
//       log(d.reading());          // ValueText, FunctionText, UnitText, AutoText,
//                                  // ReadingValue, ChartValue, FullCount, NewReadingFlag
//       setAxis(d.axis());         // the chart's value axis for this reading's range
//   });
//   decoder->feed(bytes, count);   // from the serial driver's poll or the USB cable
//
// The reading's texts and numbers mean the same for every family (see
// meter_reading.h): the unit text uses "*" for ohm, "#" for degrees Celsius,
// "?" for degrees Fahrenheit and "u" for micro; overload is "0L" with the
// decimal marks of the range (ReadingValue +-(FullCount + 1)); underflow is
// "UL" with no decimal mark (ReadingValue 0), which no limit passes. JudgeText is
// left to the caller (MeterPipeline does it as the program does).
//
// A frame the chip cannot send (bad segment pattern, wrong index nibble,
// digit out of range, parity garbage, wrong length) is counted as rejected
// and changes nothing: the last reading, LCD and axis stay.
//
// The shipped meter's decoder (Fs9922Decoder) is the program's own assembler
// and decoder behind this interface: same readings, same LCD, same chart
// rules, byte for byte. The other families use the generic chart rule: the
// axis is the model's full-scale count in the displayed unit at the current
// decimal point (a 22000-count meter on its 2.2 V range: +-2.2), and
// ChartValue is the displayed value.
//
// No decoder allocates memory per frame once its texts have reached their
// steady length; none uses globals or the locale (the separator is passed in).

#include "chart_scaling.h"
#include "lcd_state.h"
#include "meter_frame.h"
#include "meter_reading.h"
#include "meter_table.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace meterlink {

// Annunciators some families have beyond those of the shipped meter.
enum class LcdExtra : std::size_t {
    P4,            // decimal mark after the fourth place (five-place meters)
    PeakMax,       // peak hold, positive peak ("PMAX")
    PeakMin,       // peak hold, negative peak ("PMIN")
    AutoPowerOff,  // "APO"
    Beep,          // continuity beeper symbol shown without the continuity function
    Count
};
constexpr std::size_t kLcdExtraCount = static_cast<std::size_t>(LcdExtra::Count);
constexpr std::size_t kMaxDigitPlaces = 5;

// What the meter's LCD shows after a reading, for any family.
struct MeterLcd {
    // The shipped meter's indicators: annunciators, P1-P3 (marks after places
    // 1-3), FH (minus), Send; state.digits holds places 1-4. For the shipped
    // meter this is exactly what the program's own decoder produces.
    LcdState state;
    char digit5 = '\0';                 // place 5 of five-place meters
    std::size_t places = 4;             // 4, or 5 where the meter has more than 9999 counts
    std::bitset<kLcdExtraCount> extra;

    bool shown(Lcd i) const { return state.shown(i); }
    bool shown(LcdExtra i) const { return extra.test(static_cast<std::size_t>(i)); }
    // Place 1..places, left to right: '0'-'9', '@' (the overload letter), 'U'
    // (underflow, shown "UL"), '-'
    // (a dash some meters show), or '\0' for blank.
    char digit(std::size_t place) const { return place == 5 ? digit5 : state.digits[place - 1]; }
};

class MeterDecoder {
public:
    using ReadingHandler = std::function<void(const MeterDecoder&)>;

    virtual ~MeterDecoder() = default;

    void setHandler(ReadingHandler onReading) { onReading_ = std::move(onReading); }
    // The user's decimal separator for ValueText (one character, up to 4
    // bytes of UTF-8; longer texts are cut). The window sets it whenever the
    // locale may have changed; it is cheap.
    void setDecimalSeparator(std::string_view sep);
    std::string_view decimalSeparator() const { return {sep_.data(), sepLen_}; }

    // Bytes as received. Calls the handler once per decoded reading.
    virtual void feed(const std::uint8_t* data, std::size_t size) = 0;
    // One frame already cut elsewhere (the USB cable's accumulated reports).
    // The default feeds the bytes; the FS9922 decoder shape-tests the frame
    // as the program's own USB path does.
    virtual void feedFrame(const std::uint8_t* data, std::size_t size) { feed(data, size); }

    virtual const MeterReading& reading() const = 0;
    // For the sampling timer, which clears NewReadingFlag, and the judge.
    virtual MeterReading& mutableReading() = 0;
    virtual const MeterLcd& lcd() const = 0;
    virtual const ChartAxis& axis() const = 0;
    virtual const ChartScale& lastScale() const = 0;
    // True when the last reading moved the progress bar's maximum.
    virtual bool progressMaximumChanged() const = 0;

    const MeterModel& model() const { return *model_; }
    std::size_t decodedCount() const { return decoded_; }
    // Frames dropped as ones the chip cannot send (and, for the FS9922,
    // accumulations that failed the shape test).
    virtual std::size_t rejectedCount() const { return rejected_; }

protected:
    explicit MeterDecoder(const MeterModel& model, std::string_view sep) : model_(&model) {
        setDecimalSeparator(sep);
    }
    void emitReading() {
        ++decoded_;
        if (onReading_) onReading_(*this);
    }
    void countRejected(std::size_t n = 1) { rejected_ += n; }

private:
    const MeterModel* model_;
    ReadingHandler onReading_;
    std::array<char, 4> sep_{};
    std::size_t sepLen_ = 0;
    std::size_t decoded_ = 0;
    std::size_t rejected_ = 0;
};

// The decoder of the model's protocol, set up with the model's full-scale
// count. The model must outlive the decoder (table rows always do).
std::unique_ptr<MeterDecoder> makeDecoder(const MeterModel& model, std::string_view decimalSep);

}  // namespace meterlink
