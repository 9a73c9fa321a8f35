#pragma once
// The latest readings of a bench's channels, kept for calculated channels and
// alarms: each channel's recent values in SI units with the time they were
// taken, and its sampling interval, so a reading that stopped coming is
// known to be stale.

#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace meterlink {

struct ChannelReading {
    double time = 0;        // seconds on the bench's clock
    bool hasValue = false;  // false for an overload or a reading without a number
    double value = 0;       // SI value
    std::string unit;       // SI symbol, "" for a pure number
};

class ChannelBoard {
public:
    // Names are compared without regard to case ("ch1" is CH1).
    void addChannel(const std::string& name, double samplingIntervalSeconds);
    bool hasChannel(const std::string& name) const;

    // Keeps at least this many readings of the channel (averages need them).
    void keepReadings(const std::string& name, std::size_t count);

    // Unknown channels are ignored.
    void add(const std::string& name, const ChannelReading& reading);

    // The channel's readings, oldest first, or null for an unknown channel.
    const std::deque<ChannelReading>* history(const std::string& name) const;

    // True when the channel's latest reading is no older than twice its
    // sampling interval at `now`.
    bool isFresh(const std::string& name, double now) const;

    static std::string key(const std::string& name);

private:
    struct Channel {
        double interval = 1;
        std::size_t keep = 1;
        std::deque<ChannelReading> readings;
    };
    std::map<std::string, Channel> channels_;
};

}  // namespace meterlink
