#pragma once
// Alarms: a condition on a channel and the actions it asks for when raised.
// This is plain computation: it says which actions are due; the window or
// meterlink-cli carries them out. The text form, for `--alarm`, is
//   CONDITION: ACTION[, ACTION ...]
// described in the README ("Alarms").

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "channels/alarm_condition.h"

namespace meterlink {

enum class AlarmActionKind { Sound, Message, Mark, StartLogging, StopLogging, Run, Mqtt };

struct AlarmAction {
    AlarmActionKind kind = AlarmActionKind::Sound;
    std::string text;               // Message: its text; Mqtt: the event's text
    std::vector<std::string> argv;  // Run: program and arguments, never a shell line
};

struct Alarm {
    AlarmCondition condition;
    std::vector<AlarmAction> actions;
    std::string text;  // as entered, to name the alarm in messages
};

struct AlarmSpecError {
    std::size_t position = 0;  // 1-based
    std::string message;
    std::string text() const;
};

// Parses "CONDITION: ACTION[, ACTION ...]". knownChannels are the names a
// condition may use (any case).
std::variant<Alarm, AlarmSpecError> parseAlarm(std::string_view text, const std::vector<std::string>& knownChannels);

// A condition alone, as a recording trigger takes it ("CH1 > 5 for 3s").
std::variant<AlarmCondition, AlarmSpecError> parseAlarmCondition(std::string_view text,
                                                                 const std::vector<std::string>& knownChannels);

// Splits a command line into program and arguments the way a user types
// them: blanks separate, single or double quotes group; nothing else is
// special (no variables, globs or pipes, as no shell runs it).
std::variant<std::vector<std::string>, std::string> splitCommand(std::string_view line);

struct AlarmEvent {
    std::size_t alarm = 0;  // index into the monitor's alarms
    ConditionChange change = ConditionChange::None;
    double time = 0;
    std::string channel;
    bool hasValue = false;
    double value = 0;
    std::string unit;
    std::vector<AlarmAction> actions;  // those due: all of them when raised, none when cleared
};

// The bench's alarms. Feed every reading of every channel and tick it now and
// then (silence is noticed by ticks); each returns the events it caused.
class AlarmMonitor {
public:
    explicit AlarmMonitor(std::vector<Alarm> alarms, double startTime = 0);

    std::vector<AlarmEvent> reading(const std::string& channel, const ConditionInput& input, const std::string& unit);
    std::vector<AlarmEvent> tick(double now);

    const std::vector<Alarm>& alarms() const { return alarms_; }
    bool raised(std::size_t alarm) const { return trackers_[alarm].raised(); }

private:
    AlarmEvent event(std::size_t index, ConditionChange change, double time) const;

    std::vector<Alarm> alarms_;
    std::vector<ConditionTracker> trackers_;
    struct Last {
        bool hasValue = false;
        double value = 0;
        std::string unit;
    };
    std::vector<Last> last_;
};

}  // namespace meterlink
