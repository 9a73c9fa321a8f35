#pragma once
// A ScpiSource that is told each channel's readings and rows as they come:
// what `meterlink-cli log` and tests feed the server. It keeps the last
// rowsKept rows of each channel.

#include <chrono>
#include <deque>
#include <vector>

#include "serve/scpi_source.h"

namespace meterlink {

class ScpiBoard : public ScpiSource {
public:
    using Clock = std::chrono::steady_clock;

    ScpiBoard(int channels, std::chrono::milliseconds samplingInterval, std::size_t rowsKept = 100000);

    // A reading as decoded; it is stale after twice the sampling interval.
    void setLatest(int channel, const ScpiReading& reading, Clock::time_point when = Clock::now());
    void appendRow(int channel, const ScpiRow& row);

    int channelCount() const override { return int(channels_.size()); }
    ScpiReading latest(int channel) const override;
    std::size_t loggedRows(int channel) const override;
    std::vector<ScpiRow> lastRows(int channel, std::size_t n) const override;

private:
    struct Channel {
        ScpiReading latest;
        Clock::time_point when{};
        std::size_t logged = 0;
        std::deque<ScpiRow> rows;
    };
    const Channel* find(int channel) const;

    std::chrono::milliseconds interval_;
    std::size_t rowsKept_;
    std::vector<Channel> channels_;
};

}  // namespace meterlink
