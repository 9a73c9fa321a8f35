#include "unit_abcd_meter_twin.h"

#include "family_frame_builder.h"

#include <algorithm>
#include <cstdlib>

namespace meterlink {

namespace {

// What Select steps through at each switch position.
using F = MeterFunction;
constexpr F kSelectGroups[][2] = {
    {F::DCV, F::ACV}, {F::DCA, F::ACA}, {F::Ohm, F::Continuity}, {F::Diode, F::Capacitance},
    {F::TempC, F::TempF}, {F::Frequency, F::DutyCycle},
};

F selected(F base, int presses) {
    for (const auto& g : kSelectGroups)
        for (int i = 0; i < 2; ++i)
            if (g[i] == base) return g[(i + presses) % 2];
    return base;
}

}  // namespace

UnitAbCdMeterTwin::UnitAbCdMeterTwin(const MeterModel& model) : model_(model) {
    live_.function = F::DCV;
    live_.count = 1234;
    live_.pointAfter = 1;
}

void UnitAbCdMeterTwin::receive(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (have_ == 0 && b != kAbCdFirst) continue;
        if (have_ == 1 && b != kAbCdSecond) {
            have_ = b == kAbCdFirst ? 1 : 0;
            continue;
        }
        frame_[have_++] = b;
        if (have_ < kAbCdCommandBytes) continue;
        have_ = 0;
        const auto c = parseAbCdCommand(frame_, kAbCdCommandBytes);
        if (!c) {
            ++refused_;
        } else if (*c == AbCdCommand::Measure) {
            ++requests_;
            answer(out);
        } else {
            ++commands_;
            obey(*c);
        }
    }
}

void UnitAbCdMeterTwin::obey(AbCdCommand c) {
    State& s = state_;
    const DisplaySpec now = shown();
    switch (c) {
    case AbCdCommand::Hold:
        s.hold = !s.hold;
        held_ = now;
        break;
    case AbCdCommand::Range:
        s.manualRange = true;
        ++s.rangeSteps;
        break;
    case AbCdCommand::Auto:
        s.manualRange = false;
        s.rangeSteps = 0;
        break;
    case AbCdCommand::Rel:
        s.rel = !s.rel;
        relBase_ = live_.count;
        break;
    case AbCdCommand::MinMax:
        s.record = s.record == Record::Max ? Record::Min : Record::Max;
        recorded_ = live_.count;
        break;
    case AbCdCommand::MinMaxOff: s.record = Record::Off; break;
    case AbCdCommand::Light: s.light = !s.light; break;
    case AbCdCommand::Select: ++s.selects; break;
    case AbCdCommand::HzDuty: s.duty = !s.duty; break;
    case AbCdCommand::PeakMinMax: s.peak = s.peak == Peak::Max ? Peak::Min : Peak::Max; break;
    case AbCdCommand::PeakOff: s.peak = Peak::Off; break;
    case AbCdCommand::Measure: break;
    }
}

DisplaySpec UnitAbCdMeterTwin::shown() const {
    if (state_.hold) return held_;
    DisplaySpec d = live_;
    d.function = selected(d.function, state_.selects);
    if (d.function == F::Frequency && state_.duty) d.function = F::DutyCycle;
    if (d.function != live_.function) d.prefix = UnitPrefix::None;
    if (state_.rel) d.count -= relBase_;
    if (state_.record == Record::Max) d.count = std::max(d.count, recorded_);
    if (state_.record == Record::Min) d.count = std::min(d.count, recorded_);
    d.count = std::clamp(d.count, -9999, 9999);
    d.autoRange = !state_.manualRange;
    d.relative = state_.rel;
    d.maximum = state_.record == Record::Max;
    d.minimum = state_.record == Record::Min;
    return d;
}

void UnitAbCdMeterTwin::answer(std::vector<std::uint8_t>& out) {
    DisplaySpec d = shown();
    d.hold = state_.hold;
    FamilyFrame f = encodeFamilyFrame(model_, d);
    if (f.size == 0) {
        // A reading this model cannot show: what its LCD shows then, overload.
        d = DisplaySpec{};
        d.overload = true;
        f = encodeFamilyFrame(model_, d);
    }
    out.insert(out.end(), f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(f.size));
}

}  // namespace meterlink
