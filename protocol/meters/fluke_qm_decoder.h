#pragma once
// Fluke's IR remote interface: two-letter commands ended by CR ("QM" asks
// for the main display, "ID" for the meter's name). The meter acknowledges
// each with one line, "0" when done ("1" syntax error, "2" execution error,
// "5" no data), and after "0" sends the answer, also ended by CR:
//   287/289  "+1.2345E+0,VDC,NORMAL,NONE"   value, unit, state, attribute
//   187/189  "QM,+1.2345E+0 VDC"            the command's name, value, unit
//   ID       "FLUKE 289,V1.10,95081087"     (the 18x put "ID," first)
// The value is in the base unit; the display's prefix and decimal mark are
// those that show the value's digits as sent, so "+1.2345E-1" VDC is shown
// "123.45 mV" and "+0.0000E+0" VDC "0.0000 V".

#include "display_decoder.h"

namespace meterlink {

constexpr std::size_t kFlukeMaxLine = 64;   // longer lines are no answer of the meter's
constexpr std::size_t kFlukeMaxIdentification = 48;

class FlukeQmDecoder final : public DisplayDecoder {
public:
    FlukeQmDecoder(const MeterModel& model, std::string_view sep);
    void feed(const std::uint8_t* data, std::size_t size) override;

    // The last identification answer, without the "ID," of the 18x; empty
    // before one came.
    std::string_view identification() const { return {id_, idLen_}; }
    // Requests the meter acknowledged with an error code (not "0").
    std::size_t refusedCount() const { return refused_; }
    // Answers that carry no number: the display blank, a capacitor being
    // discharged, a function with no reading. Neither a reading nor a fault.
    std::size_t blankCount() const { return blank_; }

private:
    bool decodeLine(const char* line, std::size_t size);
    bool decodeMeasurement(std::string_view value, std::string_view unit, std::string_view state,
                           std::string_view attribute);

    char line_[kFlukeMaxLine]{};
    std::size_t have_ = 0;
    bool overlong_ = false;
    char id_[kFlukeMaxIdentification]{};
    std::size_t idLen_ = 0;
    std::size_t refused_ = 0;
    std::size_t blank_ = 0;
};

}  // namespace meterlink
