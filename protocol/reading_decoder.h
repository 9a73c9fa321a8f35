#pragma once
// Turns one accepted frame into the LCD state, the reading and the chart range.
// The limit judge is separate (limit_judge.h); it reads the ValueText this
// produces.

#include "chart_scaling.h"
#include "lcd_state.h"
#include "meter_frame.h"
#include "meter_reading.h"

#include <cstdint>
#include <string_view>

namespace meterlink {

enum class DecodeResult {
    Decoded,
    BadDigit,   // a digit or decimal-point nibble was a hex letter: frame dropped
    NoMeterFrame,   // what no meter sends (see frame_check.h): frame dropped
};

class ReadingDecoder {
public:
    // fullCount and the axis start from the model profile.
    explicit ReadingDecoder(std::int32_t fullCount = 6000);

    // Decodes bytes 1-11 of the frame. Unless Decoded, nothing has changed.
    // decimalSep is the user's decimal separator, used in ValueText only.
    DecodeResult decode(const MeterFrame& frame, std::string_view decimalSep);

    const MeterReading& reading() const { return reading_; }
    MeterReading& mutableReading() { return reading_; }
    const LcdState& lcd() const { return lcd_; }
    const ChartAxis& axis() const { return axis_; }
    const ChartScale& lastScale() const { return scale_; }
    // True when the last frame moved the progress bar's maximum.
    bool progressMaximumChanged() const { return progressChanged_; }

private:
    std::int32_t modelFullCount_;
    MeterReading reading_;
    LcdState lcd_;
    ChartAxis axis_;
    ChartScale scale_;
    bool progressChanged_ = false;
};

}  // namespace meterlink
