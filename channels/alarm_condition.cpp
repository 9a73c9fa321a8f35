#include "channels/alarm_condition.h"

namespace meterlink {

ConditionTracker::ConditionTracker(AlarmCondition condition, double startTime)
    : condition_(std::move(condition)), lastReading_(startTime) {}

ConditionTracker::Level ConditionTracker::levelOf(const ConditionInput& in) const {
    const auto& c = condition_;
    const double h = c.hysteresis;
    switch (c.kind) {
    case ConditionKind::Above:
        if (!in.hasValue) return Level::Keep;
        if (in.value > c.threshold) return Level::On;
        return (!raised_ || in.value <= c.threshold - h) ? Level::Off : Level::Keep;
    case ConditionKind::Below:
        if (!in.hasValue) return Level::Keep;
        if (in.value < c.threshold) return Level::On;
        return (!raised_ || in.value >= c.threshold + h) ? Level::Off : Level::Keep;
    case ConditionKind::Outside: {
        std::optional<double> low = c.low ? c.low : in.lowLimit;
        std::optional<double> high = c.high ? c.high : in.highLimit;
        if (!in.hasValue || (!low && !high)) return Level::Keep;
        bool above = high && in.value > *high;
        bool below = low && in.value < *low;
        if (above || below) return Level::On;
        bool clear = (!high || in.value <= *high - h) && (!low || in.value >= *low + h);
        return (!raised_ || clear) ? Level::Off : Level::Keep;
    }
    case ConditionKind::Fail:
        if (in.fail) return Level::On;
        return in.hasValue ? Level::Off : Level::Keep;
    case ConditionKind::Silent:
        return Level::Off;  // a reading came
    }
    return Level::Keep;
}

ConditionChange ConditionTracker::onLevel(Level level, double now) {
    if (level == Level::Off) {
        pendingSince_.reset();
        if (raised_) {
            raised_ = false;
            return ConditionChange::Cleared;
        }
        return ConditionChange::None;
    }
    if (level == Level::On && !raised_ && !pendingSince_) pendingSince_ = now;
    // Keep (a reading without a number) neither starts nor breaks the hold.
    if (!raised_ && pendingSince_ && now - *pendingSince_ >= condition_.holdSeconds) {
        raised_ = true;
        return ConditionChange::Raised;
    }
    return ConditionChange::None;
}

ConditionChange ConditionTracker::reading(const ConditionInput& input) {
    lastReading_ = input.time;
    return onLevel(levelOf(input), input.time);
}

ConditionChange ConditionTracker::tick(double now) {
    if (condition_.kind == ConditionKind::Silent) {
        if (now - lastReading_ >= condition_.silentSeconds) {
            if (!raised_ && !pendingSince_) pendingSince_ = lastReading_ + condition_.silentSeconds;
            return onLevel(Level::On, now);
        }
        return ConditionChange::None;
    }
    return onLevel(Level::Keep, now);
}

}  // namespace meterlink
