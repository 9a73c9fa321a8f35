#pragma once
// What the four chip families other than the shipped one share once a frame
// has been read: the display (digits, marks, annunciators) turned into the
// reading's texts and numbers, and the generic chart rule.

#include "meter_decoder.h"

namespace meterlink {

// One frame's display as a family decoder reads it.
struct Display {
    MeterLcd lcd;                 // annunciators and digits set by the family
    std::size_t pointAfter = 0;   // decimal mark after place 1-4; 0 none
    bool negative = false;
    bool overload = false;
    bool underflow = false;       // "UL": under the range (frequency, duty cycle); no number
    const char* word = nullptr;   // a reading that is a word and no number ("READY", "Hi")
    bool autoRange = false;
    const char* function = "";    // "DC", "AC", "OHM", "CTN", "Diode", "CAP", "TMP", "Freq", "DutyCycle", "hFE"
    const char* unit = "";        // "V", "mV", "k*", "kHz", ...
};

class DisplayDecoder : public MeterDecoder {
public:
    const MeterReading& reading() const override { return reading_; }
    MeterReading& mutableReading() override { return reading_; }
    const MeterLcd& lcd() const override { return lcd_; }
    const ChartAxis& axis() const override { return axis_; }
    const ChartScale& lastScale() const override { return scale_; }
    bool progressMaximumChanged() const override { return progressChanged_; }

protected:
    DisplayDecoder(const MeterModel& model, std::string_view sep, std::size_t places);
    // A fresh display for this frame: blank digits, the meter's place count.
    Display& startDisplay();
    // Stores the display as the current reading and reports it.
    void publish();

private:
    MeterReading reading_;
    MeterLcd lcd_;
    ChartAxis axis_;
    ChartScale scale_;
    Display work_;
    std::size_t places_;
    bool progressChanged_ = false;
};

inline void setPlace(MeterLcd& lcd, std::size_t place, char c) {
    if (place == 5) lcd.digit5 = c;
    else lcd.state.digits[place - 1] = c;
}

}  // namespace meterlink
