#pragma once
// What the SCPI server reads: the channels' latest readings and their logged
// rows. The window and `meterlink-cli log` each feed one; the server only
// reads it, from the event loop's thread.

#include <cstddef>
#include <string>
#include <vector>

namespace meterlink {

struct ScpiReading {
    bool present = false;   // a reading came, and is no older than twice the sampling interval
    bool hasValue = false;  // false for an overload or a reading without a number
    bool overload = false;
    bool negative = false;  // an overload's side
    double value = 0;       // SI value
    std::string function;   // as the decoders name it: "DC", "AC", "OHM", "CTN", "Diode", "CAP", "TMP", "Freq", ...
    std::string unit;       // SI symbol: "V", "A", "Ω", "F", "Hz", "°C", "°F", "%"
};

struct ScpiRow {
    bool hasValue = false;
    bool overload = false;
    bool negative = false;
    double value = 0;  // SI value
};

class ScpiSource {
public:
    virtual ~ScpiSource() = default;
    virtual int channelCount() const = 0;
    // Channels count from 1.
    virtual ScpiReading latest(int channel) const = 0;
    virtual std::size_t loggedRows(int channel) const = 0;
    // The channel's last n logged rows (fewer when fewer were logged), oldest first.
    virtual std::vector<ScpiRow> lastRows(int channel, std::size_t n) const = 0;
};

}  // namespace meterlink
