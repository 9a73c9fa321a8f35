#pragma once
// An alarm's or a trigger's condition on one channel, and the tracker that
// decides when it holds: it must hold for the hold time before it is raised,
// and once raised it clears only when the reading is back by the hysteresis,
// so a reading that hovers at the edge does not chatter.

#include <optional>
#include <string>

namespace meterlink {

enum class ConditionKind {
    Above,    // value > threshold
    Below,    // value < threshold
    Outside,  // value outside [low, high]: the given ones, or the channel's limits
    Fail,     // the judge's verdict is Fail
    Silent,   // no reading for silentSeconds
};

struct AlarmCondition {
    std::string channel;  // as ChannelBoard::key makes it
    ConditionKind kind = ConditionKind::Above;
    double threshold = 0;
    std::optional<double> low;   // Outside: both given, or neither (the channel's limits)
    std::optional<double> high;
    double silentSeconds = 0;
    double holdSeconds = 0;
    double hysteresis = 0;
};

// One reading of the condition's channel. An overload counts as beyond any
// limit on its side: pass +/- infinity as its value.
struct ConditionInput {
    double time = 0;
    bool hasValue = false;
    double value = 0;
    bool fail = false;                 // the judge's verdict
    std::optional<double> lowLimit;    // the channel's limits, for Outside without its own
    std::optional<double> highLimit;
};

enum class ConditionChange { None, Raised, Cleared };

class ConditionTracker {
public:
    explicit ConditionTracker(AlarmCondition condition, double startTime = 0);

    ConditionChange reading(const ConditionInput& input);
    // Time passing without a reading: the hold time and silence run on.
    ConditionChange tick(double now);

    bool raised() const { return raised_; }
    const AlarmCondition& condition() const { return condition_; }

private:
    enum class Level { On, Off, Keep };
    Level levelOf(const ConditionInput& input) const;
    ConditionChange onLevel(Level level, double now);

    AlarmCondition condition_;
    bool raised_ = false;
    std::optional<double> pendingSince_;
    double lastReading_;
};

}  // namespace meterlink
