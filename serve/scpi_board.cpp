#include "serve/scpi_board.h"

#include <algorithm>

namespace meterlink {

ScpiBoard::ScpiBoard(int channels, std::chrono::milliseconds samplingInterval, std::size_t rowsKept)
    : interval_(samplingInterval), rowsKept_(rowsKept), channels_(std::size_t(std::max(channels, 0))) {}

const ScpiBoard::Channel* ScpiBoard::find(int channel) const {
    if (channel < 1 || channel > channelCount()) return nullptr;
    return &channels_[std::size_t(channel - 1)];
}

void ScpiBoard::setLatest(int channel, const ScpiReading& reading, Clock::time_point when) {
    if (!find(channel)) return;
    auto& c = channels_[std::size_t(channel - 1)];
    c.latest = reading;
    c.latest.present = true;
    c.when = when;
}

void ScpiBoard::appendRow(int channel, const ScpiRow& row) {
    if (!find(channel)) return;
    auto& c = channels_[std::size_t(channel - 1)];
    c.rows.push_back(row);
    ++c.logged;
    while (c.rows.size() > rowsKept_) c.rows.pop_front();
}

ScpiReading ScpiBoard::latest(int channel) const {
    const Channel* c = find(channel);
    if (!c || !c->latest.present) return {};
    ScpiReading r = c->latest;
    r.present = Clock::now() - c->when <= 2 * interval_;
    return r;
}

std::size_t ScpiBoard::loggedRows(int channel) const {
    const Channel* c = find(channel);
    return c ? c->logged : 0;
}

std::vector<ScpiRow> ScpiBoard::lastRows(int channel, std::size_t n) const {
    const Channel* c = find(channel);
    if (!c) return {};
    n = std::min(n, c->rows.size());
    return std::vector<ScpiRow>(c->rows.end() - std::ptrdiff_t(n), c->rows.end());
}

}  // namespace meterlink
