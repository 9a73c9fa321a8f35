#include "channels/channel_board.h"

#include <algorithm>

namespace meterlink {

std::string ChannelBoard::key(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : char(c); });
    return upper;
}

void ChannelBoard::addChannel(const std::string& name, double samplingIntervalSeconds) {
    channels_[key(name)].interval = samplingIntervalSeconds;
}

bool ChannelBoard::hasChannel(const std::string& name) const { return channels_.count(key(name)) != 0; }

void ChannelBoard::keepReadings(const std::string& name, std::size_t count) {
    auto it = channels_.find(key(name));
    if (it != channels_.end()) it->second.keep = std::max(it->second.keep, count);
}

void ChannelBoard::add(const std::string& name, const ChannelReading& reading) {
    auto it = channels_.find(key(name));
    if (it == channels_.end()) return;
    auto& readings = it->second.readings;
    readings.push_back(reading);
    while (readings.size() > it->second.keep) readings.pop_front();
}

const std::deque<ChannelReading>* ChannelBoard::history(const std::string& name) const {
    auto it = channels_.find(key(name));
    return it == channels_.end() ? nullptr : &it->second.readings;
}

bool ChannelBoard::isFresh(const std::string& name, double now) const {
    auto it = channels_.find(key(name));
    if (it == channels_.end() || it->second.readings.empty()) return false;
    return now - it->second.readings.back().time <= 2 * it->second.interval;
}

}  // namespace meterlink
