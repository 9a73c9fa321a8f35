#pragma once
// The current reading, overwritten by every decoded frame.

#include <cstdint>
#include <optional>
#include <string>

namespace meterlink {

struct MeterReading {
    std::string ValueText;      // as displayed, with the user's decimal separator
    std::string FunctionText;   // "DC", "AC", "OHM", "CTN", "Diode", "CAP", "TMP", "Freq", "DutyCycle" or empty
    std::string UnitText;       // "V", "mV", "k*", "#", ... ("*" ohm, "#" degC, "?" degF, "u" micro)
    std::string AutoText;       // "AUTO" or "MANU"
    std::string JudgeText;      // "pass", "Fail" or empty before the first verdict
    double ReadingValue = 0;    // display count, decimal point ignored; overload gives +-(FullCount + 1)
    double ChartValue = 0;      // ReadingValue scaled to the chart range
    std::int32_t FullCount = 6000;
    // The high and low limits of the last verdict, in SI units; none before one.
    std::optional<double> HighLimitSi;
    std::optional<double> LowLimitSi;
    bool NewReadingFlag = false;
};

}  // namespace meterlink
