// The bench's calculated channels and alarms on scripted readings: a formula
// over two meters with its derived unit and verdict, "no value" once a meter
// falls silent rather than a number from its old reading, an alarm with its
// hold time, and the texts refused when entered.

#include "app/bench_channels.h"

#include <gtest/gtest.h>

namespace {

BenchChannels::MeterInput reading(double value, const char* unit) {
    BenchChannels::MeterInput in;
    in.fresh = true;
    in.hasValue = true;
    in.value = value;
    in.unit = unit;
    return in;
}

TEST(BenchChannels, power_of_two_meters_with_limits_and_an_alarm_that_holds) {
    BenchChannels bench(1.0);
    bench.setMeterCount(2);
    ASSERT_EQ(bench.addCalc("P = CH1 * CH2", {"V", "A"}), "");
    bench.setLimits(0, 1.0, 5.0);
    ASSERT_EQ(bench.addAlarm("P > 5 for 2s: message too much, start"), "");
    std::vector<meterlink::AlarmEvent> events;

    auto samples = bench.update(0, {reading(12, "V"), reading(0.25, "A")}, events);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_TRUE(samples[0].hasValue);
    EXPECT_DOUBLE_EQ(samples[0].value, 3.0);
    EXPECT_EQ(samples[0].unit, "W");
    EXPECT_EQ(samples[0].verdict, "pass");
    EXPECT_TRUE(events.empty());

    // Over the limit: Fail at once, the alarm only after its hold time.
    bench.update(1, {reading(12, "V"), reading(0.5, "A")}, events);
    EXPECT_EQ(bench.calcs()[0].latest.verdict, "fail");
    EXPECT_TRUE(events.empty());
    samples = bench.update(3, {reading(12, "V"), reading(0.5, "A")}, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].change, meterlink::ConditionChange::Raised);
    EXPECT_EQ(events[0].channel, "P");
    ASSERT_EQ(events[0].actions.size(), 2u);
    EXPECT_EQ(events[0].actions[0].text, "too much");
    EXPECT_EQ(events[0].actions[1].kind, meterlink::AlarmActionKind::StartLogging);

    // CH2 falls silent: after twice the interval P has no value, not 6 W.
    events.clear();
    BenchChannels::MeterInput silent;
    bench.update(4, {reading(12, "V"), silent}, events);
    samples = bench.update(6, {reading(12, "V"), silent}, events);
    EXPECT_FALSE(samples[0].hasValue);
    EXPECT_EQ(samples[0].verdict, "");
}

struct Refused {
    const char* name;
    const char* calc;    // added when not null
    const char* alarm;   // added when not null
    const char* message;
};

class BenchChannelsRefuse : public ::testing::TestWithParam<Refused> {};

TEST_P(BenchChannelsRefuse, with_a_message_naming_the_fault) {
    const Refused& c = GetParam();
    BenchChannels bench;
    bench.setMeterCount(2);
    ASSERT_EQ(bench.addCalc("P = CH1 * CH2", {"V", "A"}), "");
    const std::string why = c.calc ? bench.addCalc(c.calc, {"V", "A"}) : bench.addAlarm(c.alarm);
    EXPECT_NE(why.find(c.message), std::string::npos) << why;
    EXPECT_EQ(bench.calcs().size(), 1u);
    EXPECT_TRUE(bench.alarms().empty());
}

const Refused kRefused[] = {
    {"unknown_channel", "Q = CH3 * 2", nullptr, "Unknown channel \"CH3\""},
    {"syntax", "Q = (CH1", nullptr, "Missing \")\""},
    {"a_name_taken", "p = CH1", nullptr, "\"p\" is already a channel"},
    {"units_that_do_not_add", "Q = CH1 + CH2", nullptr, "at position"},
    {"alarm_on_no_channel", nullptr, "CH9 > 1: sound", "Unknown channel \"CH9\""},
    {"alarm_mqtt_in_the_window", nullptr, "P > 1: mqtt high", "the window publishes no MQTT events"},
};

INSTANTIATE_TEST_SUITE_P(Table, BenchChannelsRefuse, ::testing::ValuesIn(kRefused),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
