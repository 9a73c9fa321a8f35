#include "bench_channels.h"

#include <cmath>
#include <limits>
#include <map>

using namespace meterlink;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string meterName(int i) { return "CH" + std::to_string(i + 1); }

}  // namespace

BenchChannels::BenchChannels(double intervalSeconds) : interval_(intervalSeconds) {}

void BenchChannels::setMeterCount(int count) {
    for (; meters_ < count; ++meters_) board_.addChannel(meterName(meters_), interval_);
}

std::vector<std::string> BenchChannels::names() const {
    std::vector<std::string> out;
    for (int i = 0; i < meters_; ++i) out.push_back(meterName(i));
    for (const auto& c : calcs_) out.push_back(c.formula.name());
    return out;
}

std::string BenchChannels::addCalc(const std::string& text, const std::vector<std::string>& unitsNow) {
    auto parsed = Formula::parse(text, names());
    if (auto* e = std::get_if<FormulaError>(&parsed)) return e->text();
    Formula formula = std::get<Formula>(parsed);
    for (const auto& name : names())
        if (ChannelBoard::key(name) == ChannelBoard::key(formula.name()))
            return "A channel named \"" + formula.name() + "\" exists already";
    std::map<std::string, std::string> units;
    for (std::size_t i = 0; i < unitsNow.size(); ++i)
        if (!unitsNow[i].empty()) units[meterName(int(i))] = unitsNow[i];
    for (const auto& c : calcs_) units[c.formula.name()] = c.latest.unit;
    if (auto error = formula.checkUnits(units)) return error->text();
    board_.addChannel(formula.name(), interval_);
    for (const auto& [channel, count] : formula.readingsNeeded()) board_.keepReadings(channel, count);
    Calc calc{formula, std::nullopt, std::nullopt, missingSample(formula.name())};
    calc.latest.function = "CALC";
    calcs_.push_back(std::move(calc));
    return {};
}

void BenchChannels::setLimits(std::size_t calc, std::optional<double> low, std::optional<double> high) {
    if (calc >= calcs_.size()) return;
    calcs_[calc].low = low;
    calcs_[calc].high = high;
}

std::string BenchChannels::addAlarm(const std::string& text) {
    auto parsed = parseAlarm(text, names());
    if (auto* e = std::get_if<AlarmSpecError>(&parsed)) return e->text();
    Alarm alarm = std::get<Alarm>(parsed);
    for (const auto& a : alarm.actions)
        if (a.kind == AlarmActionKind::Mqtt)
            return "mqtt: the window publishes no MQTT events; meterlink-cli log --mqtt does";
    std::vector<Alarm> all = monitor_.alarms();
    all.push_back(std::move(alarm));
    monitor_ = AlarmMonitor(std::move(all));
    return {};
}

std::vector<BenchSample> BenchChannels::update(double now, const std::vector<MeterInput>& meters,
                                               std::vector<AlarmEvent>& events) {
    auto take = [&](std::vector<AlarmEvent> more) {
        for (auto& e : more) events.push_back(std::move(e));
    };
    for (std::size_t i = 0; i < meters.size() && int(i) < meters_; ++i) {
        const MeterInput& m = meters[i];
        if (!m.fresh) continue;   // no reading: the board's staleness speaks for it
        board_.add(meterName(int(i)), {now, m.hasValue, m.value, m.unit});
        ConditionInput in;
        in.time = now;
        in.hasValue = m.hasValue || m.overload;
        in.value = m.overload ? (m.negative ? -kInf : kInf) : m.value;
        in.fail = m.fail;
        take(monitor_.reading(meterName(int(i)), in, m.unit));
    }
    std::vector<BenchSample> out;
    for (auto& c : calcs_) {
        const FormulaValue v = c.formula.evaluate(board_, now);
        board_.add(c.formula.name(), {now, v.hasValue, v.value, v.unit});
        BenchSample s = missingSample(c.formula.name());
        s.function = "CALC";
        s.hasValue = v.hasValue;
        s.value = v.value;
        s.unit = v.unit.empty() ? c.formula.givenUnit() : v.unit;
        if (v.hasValue && (c.low || c.high))
            s.verdict = (c.low && v.value < *c.low) || (c.high && v.value > *c.high) ? "fail" : "pass";
        c.latest = s;
        out.push_back(s);
        ConditionInput in;
        in.time = now;
        in.hasValue = v.hasValue;
        in.value = v.value;
        in.fail = s.verdict == "fail";
        in.lowLimit = c.low;
        in.highLimit = c.high;
        take(monitor_.reading(c.formula.name(), in, s.unit));
    }
    take(monitor_.tick(now));
    return out;
}
