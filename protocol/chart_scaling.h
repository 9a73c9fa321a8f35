#pragma once
// Chooses the chart's value-axis range and the factor from count to plotted
// value for one decoded frame, and the full-scale count for the next frame.

#include "lcd_state.h"

#include <cstdint>
#include <string_view>

namespace meterlink {

// The value axis and the progress bar that follows it. Kept between frames.
struct ChartAxis {
    double maximum = 6000;
    double minimum = -6000;
    double rememberedMaximum = 0;   // the maximum as it stood after the previous frame
    int progressMaximum = 60;       // the bar's initial look
};

struct ChartScale {
    bool matched = false;    // some range rule applied
    double bound = 0;        // the last matching rule's axis bound
    double factor = 1;
    int factorDecimals = 0;  // 0.001 -> 3; how many decimals the chart value carries
    int rule = 0;            // number of the last matching rule (1-48), 0 for the point's own range
};

// What the rules look at. "point" is 1, 2, 3 for the mark shown, 0 for none.
struct ScaleInput {
    std::string_view function;
    std::string_view unit;
    const LcdState* lcd = nullptr;
    bool continuityBit = false;   // status byte 10, bit 3
    bool flag97 = false;          // status byte 9, bit 7
};

int decimalPoint(const LcdState& lcd);

// Full-scale count for a unit text: Hz, kHz, MHz 1000, % 100, degC 1000, otherwise 6000.
std::int32_t fullCountForUnit(std::string_view unit);

// Runs the range rules in order; the last matching one wins. Beneath them the
// decimal point alone sets the scale, so every reading is plotted as shown.
ChartScale chooseChartScale(const ScaleInput& in);

}  // namespace meterlink
