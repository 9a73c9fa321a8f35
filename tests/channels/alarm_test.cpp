#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "channels/alarm.h"
#include "channels/recording_trigger.h"

namespace meterlink {
namespace {

const std::vector<std::string> kBench{"CH1", "CH2", "P"};

Alarm parsed(const std::string& text) {
    auto result = parseAlarm(text, kBench);
    if (auto* error = std::get_if<AlarmSpecError>(&result)) ADD_FAILURE() << text << ": " << error->text();
    return std::get<Alarm>(result);
}

TEST(AlarmText, reads_condition_options_and_actions) {
    Alarm a = parsed("ch1 > 5.2 for 3s hyst 0.1: sound, message \"Supply high, check it\", mark, mqtt, "
                     "run /usr/bin/logger -t bench 'value high, again'");
    EXPECT_EQ(a.condition.channel, "CH1");
    EXPECT_EQ(a.condition.kind, ConditionKind::Above);
    EXPECT_DOUBLE_EQ(a.condition.threshold, 5.2);
    EXPECT_DOUBLE_EQ(a.condition.holdSeconds, 3);
    EXPECT_DOUBLE_EQ(a.condition.hysteresis, 0.1);
    ASSERT_EQ(a.actions.size(), 5u);
    EXPECT_EQ(a.actions[0].kind, AlarmActionKind::Sound);
    EXPECT_EQ(a.actions[1].kind, AlarmActionKind::Message);
    EXPECT_EQ(a.actions[1].text, "Supply high, check it");
    EXPECT_EQ(a.actions[2].kind, AlarmActionKind::Mark);
    EXPECT_EQ(a.actions[3].kind, AlarmActionKind::Mqtt);
    EXPECT_EQ(a.actions[4].kind, AlarmActionKind::Run);
    EXPECT_EQ(a.actions[4].argv,
              (std::vector<std::string>{"/usr/bin/logger", "-t", "bench", "value high, again"}));
}

struct ConditionCase {
    const char* name;
    const char* text;
    ConditionKind kind;
    double a;  // threshold, low or silent seconds
    double b;  // high, or hold seconds
};

class AlarmConditions : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(AlarmConditions, parse) {
    const auto& c = GetParam();
    Alarm alarm = parsed(c.text);
    const auto& cond = alarm.condition;
    EXPECT_EQ(cond.kind, c.kind);
    switch (c.kind) {
    case ConditionKind::Above:
    case ConditionKind::Below:
        EXPECT_DOUBLE_EQ(cond.threshold, c.a);
        EXPECT_DOUBLE_EQ(cond.holdSeconds, c.b);
        break;
    case ConditionKind::Outside:
        if (std::isnan(c.a)) {
            EXPECT_FALSE(cond.low);
        } else {
            ASSERT_TRUE(cond.low && cond.high);
            EXPECT_DOUBLE_EQ(*cond.low, c.a);
            EXPECT_DOUBLE_EQ(*cond.high, c.b);
        }
        break;
    case ConditionKind::Silent:
        EXPECT_DOUBLE_EQ(cond.silentSeconds, c.a);
        EXPECT_DOUBLE_EQ(cond.holdSeconds, c.b);
        break;
    case ConditionKind::Fail:
        break;
    }
}

const double kNone = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, AlarmConditions,
    ::testing::Values(ConditionCase{"above_word", "CH1 above 5: sound", ConditionKind::Above, 5, 0},
                      ConditionCase{"glued_operator", "CH1>5e-3 for 500ms: sound", ConditionKind::Above, 0.005, 0.5},
                      ConditionCase{"below_minutes", "P < -2 for 2min: stop", ConditionKind::Below, -2, 120},
                      ConditionCase{"outside_range", "CH2 outside 4.5..5.5: mark", ConditionKind::Outside, 4.5, 5.5},
                      ConditionCase{"outside_own_limits", "CH2 outside for 1s: mark", ConditionKind::Outside, kNone, 0},
                      ConditionCase{"fail", "CH2 FAIL: message", ConditionKind::Fail, 0, 0},
                      ConditionCase{"silent_hours", "CH1 silent 1h for 5: sound", ConditionKind::Silent, 3600, 5}),
    [](const auto& p) { return std::string(p.param.name); });

struct SpecErrorCase {
    const char* name;
    const char* text;
    std::size_t position;
    const char* message;
};

class AlarmTextErrors : public ::testing::TestWithParam<SpecErrorCase> {};

TEST_P(AlarmTextErrors, name_the_position) {
    const auto& c = GetParam();
    auto result = parseAlarm(c.text, kBench);
    auto* error = std::get_if<AlarmSpecError>(&result);
    ASSERT_NE(error, nullptr) << c.text;
    EXPECT_EQ(error->position, c.position) << error->text();
    EXPECT_NE(error->message.find(c.message), std::string::npos) << error->text();
}

INSTANTIATE_TEST_SUITE_P(
    Table, AlarmTextErrors,
    ::testing::Values(SpecErrorCase{"no_colon", "CH1 > 5 sound", 14, "CONDITION: ACTION"},
                      SpecErrorCase{"unknown_channel", "CH7 > 5: sound", 1, "Unknown channel \"CH7\""},
                      SpecErrorCase{"no_test", "CH1: sound", 4, "Expected above"},
                      SpecErrorCase{"bad_test", "CH1 over 5: sound", 5, "not \"over\""},
                      SpecErrorCase{"bad_number", "CH1 > 5V: sound", 7, "Not a number"},
                      SpecErrorCase{"bad_range", "CH1 outside 5: sound", 13, "LOW..HIGH"},
                      SpecErrorCase{"range_reversed", "CH1 outside 6..5: sound", 13, "low limit is above"},
                      SpecErrorCase{"bad_hold", "CH1 > 5 for soon: sound", 13, "Not a time"},
                      SpecErrorCase{"negative_hysteresis", "CH1 > 5 hyst -1: sound", 14, "0 or more"},
                      SpecErrorCase{"hysteresis_on_fail", "CH1 fail hyst 1: sound", 10, "above, below and outside"},
                      SpecErrorCase{"silent_without_time", "CH1 silent: sound", 11, "a time"},
                      SpecErrorCase{"no_action", "CH1 > 5:  ", 11, "No action"},
                      SpecErrorCase{"unknown_action", "CH1 > 5: sound, email", 17, "Unknown action \"email\""},
                      SpecErrorCase{"trailing_comma", "CH1 > 5: sound,", 16, "after \",\""},
                      SpecErrorCase{"text_on_sound", "CH1 > 5: sound loud", 15, "takes no text"},
                      SpecErrorCase{"run_without_command", "CH1 > 5: run  ", 13, "run needs a command"},
                      SpecErrorCase{"run_open_quote", "CH1 > 5: run x 'y", 13, "Quote not closed"},
                      SpecErrorCase{"message_open_quote", "CH1 > 5: message \"hi", 18, "Quote not closed"}),
    [](const auto& p) { return std::string(p.param.name); });

// Scripted readings, one a second: the value, and whether the alarm is
// raised after it.
struct Step {
    double value;
    bool raised;
};

struct ScriptCase {
    const char* name;
    const char* alarm;
    std::vector<Step> steps;
};

class AlarmScripts : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(AlarmScripts, raise_and_clear_as_scripted) {
    const auto& c = GetParam();
    AlarmMonitor monitor({parsed(c.alarm)});
    int raisedEvents = 0;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        ConditionInput in;
        in.time = double(i);
        in.hasValue = !std::isnan(c.steps[i].value);
        in.value = c.steps[i].value;
        in.lowLimit = 4.5;
        in.highLimit = 5.5;
        for (const auto& e : monitor.reading("CH1", in, "V")) {
            if (e.change == ConditionChange::Raised) {
                ++raisedEvents;
                EXPECT_EQ(e.actions.size(), 1u);
                EXPECT_DOUBLE_EQ(e.value, in.value);
                EXPECT_EQ(e.unit, "V");
            } else {
                EXPECT_TRUE(e.actions.empty());
            }
        }
        EXPECT_EQ(monitor.raised(0), c.steps[i].raised) << "after reading " << i << " (" << c.steps[i].value << ")";
    }
    (void)raisedEvents;
}

const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, AlarmScripts,
    ::testing::Values(
        ScriptCase{"no_hold_no_hysteresis_follows_each_reading",
                   "CH1 > 5: sound",
                   {{4.9, false}, {5.1, true}, {4.99, false}, {5.01, true}}},
        ScriptCase{"hysteresis_keeps_a_hovering_reading_raised",
                   "CH1 > 5 hyst 0.2: sound",
                   {{5.1, true}, {4.9, true}, {5.05, true}, {4.81, true}, {4.8, false}, {4.95, false}}},
        ScriptCase{"hold_time_needs_the_condition_throughout",
                   "CH1 > 5 for 2s: sound",
                   {{5.1, false}, {5.2, false}, {4.0, false}, {5.1, false}, {5.1, false}, {5.1, true}, {4.0, false}}},
        ScriptCase{"below_with_hysteresis",
                   "CH1 < 1 hyst 0.5: sound",
                   {{0.9, true}, {1.4, true}, {1.5, false}}},
        ScriptCase{"outside_own_limits_with_hysteresis",
                   "CH1 outside hyst 0.1: sound",
                   {{5.0, false}, {5.6, true}, {5.45, true}, {5.4, false}, {4.4, true}, {4.55, true}, {4.6, false}}},
        ScriptCase{"overload_counts_as_above_and_no_number_keeps_the_state",
                   "CH1 > 5 for 2s: sound",
                   {{kInf, false}, {kNone, false}, {kInf, true}, {kNone, true}, {-kInf, false}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(AlarmSilence, is_raised_by_ticks_and_cleared_by_a_reading) {
    AlarmMonitor monitor({parsed("CH1 silent 10s: message")}, 100.0);
    EXPECT_TRUE(monitor.tick(109.9).empty());
    auto events = monitor.tick(110.0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].change, ConditionChange::Raised);
    EXPECT_TRUE(monitor.tick(200).empty()) << "raised once, not at every tick";
    ConditionInput in;
    in.time = 201;
    in.hasValue = true;
    events = monitor.reading("CH1", in, "V");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].change, ConditionChange::Cleared);
    EXPECT_TRUE(monitor.tick(210).empty());
    EXPECT_EQ(monitor.tick(211).size(), 1u);
}

TEST(AlarmFail, holds_for_its_time_and_only_its_channel_counts) {
    AlarmMonitor monitor({parsed("CH2 fail for 2: sound")});
    ConditionInput failing;
    failing.hasValue = true;
    failing.fail = true;
    for (double t : {0.0, 1.0}) {
        failing.time = t;
        EXPECT_TRUE(monitor.reading("CH2", failing, "V").empty());
        EXPECT_TRUE(monitor.reading("CH1", failing, "V").empty());
    }
    EXPECT_EQ(monitor.tick(2.0).size(), 1u) << "the hold time runs out between readings";
}

struct Row {
    int number;
};

std::vector<int> numbers(const std::vector<Row>& rows) {
    std::vector<int> out;
    for (const auto& r : rows) out.push_back(r.number);
    return out;
}

ConditionInput valueAt(double t, double v) {
    ConditionInput in;
    in.time = t;
    in.hasValue = true;
    in.value = v;
    return in;
}

TEST(RecordingTrigger, on_condition_writes_the_pre_trigger_rows_first_and_stops_after_the_rows) {
    TriggerSettings s;
    s.start = TriggerSettings::Start::OnCondition;
    s.startWhen = parsed("CH1 > 5: start").condition;
    s.preTriggerRows = 3;
    s.stop = TriggerSettings::Stop::AfterRows;
    s.stopAfterRows = 6;
    RecordingTrigger<Row> trigger(s);
    std::vector<int> written;
    const double values[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < 10; ++i) {
        auto rows = numbers(trigger.offer(i, valueAt(i, values[i]), Row{i + 1}));
        written.insert(written.end(), rows.begin(), rows.end());
    }
    // Row 6 (value 6) starts it: rows 3, 4, 5 before it, then 6, 7, 8.
    EXPECT_EQ(written, (std::vector<int>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(trigger.state(), TriggerState::Done);
}

TEST(RecordingTrigger, fewer_rows_than_the_pre_trigger_are_all_kept) {
    TriggerSettings s;
    s.preTriggerRows = 5;
    RecordingTrigger<Row> trigger(s);
    trigger.offer(0, valueAt(0, 0), Row{1});
    trigger.offer(1, valueAt(1, 0), Row{2});
    EXPECT_EQ(numbers(trigger.startByHand(1.5)), (std::vector<int>{1, 2}));
    EXPECT_EQ(numbers(trigger.offer(2, valueAt(2, 0), Row{3})), (std::vector<int>{3}));
    trigger.stopByHand();
    EXPECT_TRUE(trigger.offer(3, valueAt(3, 0), Row{4}).empty());
}

TEST(RecordingTrigger, at_a_time_and_for_a_duration) {
    TriggerSettings s;
    s.start = TriggerSettings::Start::AtTime;
    s.startTime = 10;
    s.stop = TriggerSettings::Stop::AfterDuration;
    s.stopAfterSeconds = 3;
    RecordingTrigger<Row> trigger(s);
    std::vector<int> written;
    for (int t = 8; t < 16; ++t) {
        auto rows = numbers(trigger.offer(t, valueAt(t, 0), Row{t}));
        written.insert(written.end(), rows.begin(), rows.end());
    }
    EXPECT_EQ(written, (std::vector<int>{10, 11, 12}));
}

TEST(RecordingTrigger, stop_condition_writes_the_row_that_meets_it) {
    TriggerSettings s;
    s.stop = TriggerSettings::Stop::OnCondition;
    s.stopWhen = parsed("CH1 below 0: stop").condition;
    RecordingTrigger<Row> trigger(s);
    trigger.startByHand(0);
    std::vector<int> written;
    const double values[] = {3, 1, -1, 2};
    for (int i = 0; i < 4; ++i) {
        auto rows = numbers(trigger.offer(i, valueAt(i, values[i]), Row{i}));
        written.insert(written.end(), rows.begin(), rows.end());
    }
    EXPECT_EQ(written, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace meterlink
