#pragma once
// The calculated channels and alarms of a bench of meter windows: formulas
// over the windows' latest readings (CH1, CH2, ... by window number) with
// limits and a verdict, and alarms on any channel. Plain computation, fed one
// instant at a time; the windows carry out the alarms' actions.

#include "channels/alarm.h"
#include "channels/channel_board.h"
#include "channels/formula.h"
#include "recording/bench_rows.h"

#include <optional>
#include <string>
#include <vector>

class BenchChannels {
public:
    // A meter's reading at an instant, as its window shows it.
    struct MeterInput {
        bool fresh = false;      // a reading came within twice the interval
        bool hasValue = false;
        bool overload = false;
        bool negative = false;   // an overload's side
        double value = 0;        // SI
        std::string unit;        // SI symbol
        bool fail = false;       // the window's verdict
    };
    struct Calc {
        meterlink::Formula formula;
        std::optional<double> low;
        std::optional<double> high;
        meterlink::BenchSample latest;   // the last result, with its verdict
    };

    // intervalSeconds: the bench's sampling interval (staleness is twice it).
    explicit BenchChannels(double intervalSeconds = 1);

    // The meters' channels CH1..CHn; more are added as windows open.
    void setMeterCount(int count);
    int meterCount() const { return meters_; }
    std::vector<std::string> names() const;

    // "NAME = FORMULA [UNIT]": empty when taken, else what is wrong (its
    // position included). unitsNow: each meter's unit now, for the unit check.
    std::string addCalc(const std::string& text, const std::vector<std::string>& unitsNow);
    // Limits of a calculated channel, SI; none: no verdict on that side.
    void setLimits(std::size_t calc, std::optional<double> low, std::optional<double> high);
    const std::vector<Calc>& calcs() const { return calcs_; }

    // "CONDITION: ACTION, ...": empty when taken, else what is wrong.
    std::string addAlarm(const std::string& text);
    const std::vector<meterlink::Alarm>& alarms() const { return monitor_.alarms(); }

    // One instant: the meters' readings in; the calculated channels' samples
    // out, and the alarms raised or cleared by this instant.
    std::vector<meterlink::BenchSample> update(double now, const std::vector<MeterInput>& meters,
                                               std::vector<meterlink::AlarmEvent>& events);

private:
    double interval_;
    int meters_ = 0;
    meterlink::ChannelBoard board_;
    std::vector<Calc> calcs_;
    meterlink::AlarmMonitor monitor_{{}};
};
