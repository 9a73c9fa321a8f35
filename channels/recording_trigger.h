#pragma once
// When a recording starts and stops: by hand, at a time, or when a condition
// holds, keeping the rows just before the start (pre-trigger); stopping after
// a duration, a number of rows, or a condition. Plain computation over the
// rows offered; the caller writes the rows it is given back.

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "channels/alarm_condition.h"

namespace meterlink {

struct TriggerSettings {
    enum class Start { ByHand, AtTime, OnCondition };
    enum class Stop { ByHand, AfterDuration, AfterRows, OnCondition };

    Start start = Start::ByHand;
    double startTime = 0;                    // AtTime, bench clock
    std::optional<AlarmCondition> startWhen; // OnCondition
    std::size_t preTriggerRows = 0;          // rows before the start that are kept and written at the start

    Stop stop = Stop::ByHand;
    double stopAfterSeconds = 0;             // AfterDuration, from the start
    std::size_t stopAfterRows = 0;           // AfterRows, pre-trigger rows included
    std::optional<AlarmCondition> stopWhen;  // OnCondition; the row that meets it is written
};

enum class TriggerState { Waiting, Recording, Done };

template <typename Row>
class RecordingTrigger {
public:
    explicit RecordingTrigger(TriggerSettings settings, double startTime = 0) : settings_(std::move(settings)) {
        if (settings_.startWhen) startTracker_.emplace(*settings_.startWhen, startTime);
        if (settings_.stopWhen) stopTracker_.emplace(*settings_.stopWhen, startTime);
    }

    TriggerState state() const { return state_; }

    // Starts by hand (any start mode); the pre-trigger rows are returned.
    std::vector<Row> startByHand(double now) {
        if (state_ != TriggerState::Waiting) return {};
        return begin(now);
    }
    void stopByHand() { state_ = TriggerState::Done; }

    // One row, with the reading that the start or stop condition watches.
    // Returns the rows to write now, oldest first.
    std::vector<Row> offer(double time, const ConditionInput& watched, Row row) {
        std::vector<Row> out;
        if (state_ == TriggerState::Waiting) {
            bool starting = false;
            if (settings_.start == TriggerSettings::Start::AtTime) starting = time >= settings_.startTime;
            if (startTracker_ && startTracker_->reading(watched) == ConditionChange::Raised &&
                settings_.start == TriggerSettings::Start::OnCondition)
                starting = true;
            if (!starting) {
                if (settings_.preTriggerRows > 0) {
                    before_.push_back(std::move(row));
                    while (before_.size() > settings_.preTriggerRows) before_.pop_front();
                }
                return out;
            }
            out = begin(time);
        }
        if (state_ != TriggerState::Recording) return out;
        if (settings_.stop == TriggerSettings::Stop::AfterDuration && time - startedAt_ >= settings_.stopAfterSeconds) {
            state_ = TriggerState::Done;
            return out;
        }
        out.push_back(std::move(row));
        ++written_;
        if (settings_.stop == TriggerSettings::Stop::AfterRows && written_ >= settings_.stopAfterRows)
            state_ = TriggerState::Done;
        if (stopTracker_ && stopTracker_->reading(watched) == ConditionChange::Raised &&
            settings_.stop == TriggerSettings::Stop::OnCondition)
            state_ = TriggerState::Done;
        return out;
    }

    // Time passing without rows: a duration may run out.
    void tick(double now) {
        if (state_ == TriggerState::Recording && settings_.stop == TriggerSettings::Stop::AfterDuration &&
            now - startedAt_ >= settings_.stopAfterSeconds)
            state_ = TriggerState::Done;
    }

private:
    std::vector<Row> begin(double now) {
        state_ = TriggerState::Recording;
        startedAt_ = now;
        std::vector<Row> out(std::make_move_iterator(before_.begin()), std::make_move_iterator(before_.end()));
        before_.clear();
        written_ = out.size();
        if (settings_.stop == TriggerSettings::Stop::AfterRows && written_ >= settings_.stopAfterRows) {
            out.resize(settings_.stopAfterRows);
            written_ = out.size();
            state_ = TriggerState::Done;
        }
        return out;
    }

    TriggerSettings settings_;
    TriggerState state_ = TriggerState::Waiting;
    std::optional<ConditionTracker> startTracker_;
    std::optional<ConditionTracker> stopTracker_;
    std::deque<Row> before_;
    double startedAt_ = 0;
    std::size_t written_ = 0;
};

}  // namespace meterlink
