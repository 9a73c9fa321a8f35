#pragma once
// A meter of the AB CD family as the PC sees it, for the simulators, tests
// and benches: it takes the bytes the PC sends, answers each measurement
// request with the reading it shows and obeys the buttons (hold, range,
// auto, rel, min/max, select, light, peak), keeping their state as the
// meter does. Plain C++.

#include "frame_builder.h"
#include "meter_table.h"
#include "unit_abcd_commands.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace meterlink {

class UnitAbCdMeterTwin {
public:
    enum class Record { Off, Max, Min };
    enum class Peak { Off, Max, Min };
    struct State {
        bool hold = false;
        bool rel = false;
        bool manualRange = false;
        int rangeSteps = 0;   // Range presses since automatic range
        Record record = Record::Off;
        Peak peak = Peak::Off;
        bool light = false;
        int selects = 0;      // Select presses: the switch position's functions in turn
        bool duty = false;    // Hz/% on the frequency function
    };

    explicit UnitAbCdMeterTwin(const MeterModel& model);

    // What the input shows now (the function, digits and mark).
    void setReading(const DisplaySpec& spec) { live_ = spec; }
    const DisplaySpec& liveReading() const { return live_; }
    // Bytes from the PC, split anywhere; answers are appended to out.
    void receive(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);
    // The answer the meter gives now, as receive() would.
    void answer(std::vector<std::uint8_t>& out);

    const State& state() const { return state_; }
    std::size_t requests() const { return requests_; }
    std::size_t commands() const { return commands_; }
    // Frames from the PC it could not read (wrong sum, unknown code).
    std::size_t refused() const { return refused_; }

private:
    void obey(AbCdCommand c);
    DisplaySpec shown() const;

    const MeterModel& model_;
    DisplaySpec live_;
    DisplaySpec held_;
    int relBase_ = 0;
    int recorded_ = 0;   // the extreme MAX/MIN shows
    State state_;
    std::uint8_t frame_[kAbCdCommandBytes]{};
    std::size_t have_ = 0;
    std::size_t requests_ = 0, commands_ = 0, refused_ = 0;
};

}  // namespace meterlink
