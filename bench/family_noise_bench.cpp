// How many readings a meter family's decoder makes out of noise that looks
// like its own frames, and how many of them no meter can show:
//
//   build/bench/family_noise_bench [MEGABYTES [MODEL]]   (default 100, all families)
//
// Two kinds of noise per family, both drawn from the byte values the
// family's real frames use (every function, prefix, point and flag the
// frame builder can show):
//   alphabet    each byte drawn from all the values any frame byte takes;
//   positional  each byte drawn from the values its place in a frame takes,
//               so the framing lines up and only the contents are random.
// A reading counts as false when it is one no meter shows: a frequency,
// duty cycle or (outside REL) capacitance or resistance below zero, a duty
// cycle above 100 %, a count beyond the model's full scale (the frequency
// counter's own count for Hz and %), or a function with a unit it never
// carries. The target is 0 false readings.
//
// A Metex line has no REL flag, so nothing on the wire tells a relative
// reading from an absolute one; a negative resistance may be one the meter
// shows. The decoder keeps them; they are counted apart ("kept"), not as
// false.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/meter_decoder.h"
#include "protocol/si_value.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace meterlink;

std::vector<std::vector<std::uint8_t>> realFrames(const MeterModel& m) {
    std::vector<std::vector<std::uint8_t>> out;
    const MeterFunction functions[] = {
        MeterFunction::DCV, MeterFunction::ACV, MeterFunction::DCA, MeterFunction::ACA,
        MeterFunction::Ohm, MeterFunction::Continuity, MeterFunction::Diode, MeterFunction::Capacitance,
        MeterFunction::TempC, MeterFunction::TempF, MeterFunction::Frequency, MeterFunction::DutyCycle};
    const UnitPrefix prefixes[] = {UnitPrefix::None, UnitPrefix::Nano, UnitPrefix::Micro,
                                   UnitPrefix::Milli, UnitPrefix::Kilo, UnitPrefix::Mega};
    for (MeterFunction f : functions)
        for (UnitPrefix p : prefixes)
            for (int count : {0, 7, 123, 1234, 3999, 999, -5, -1234})
                for (int point = 0; point <= 3; ++point)
                    for (int flags = 0; flags < 8; ++flags) {
                        DisplaySpec s;
                        s.function = f;
                        s.prefix = p;
                        s.count = count;
                        s.pointAfter = point;
                        s.hold = flags & 1;
                        s.relative = flags & 2;
                        s.autoRange = !(flags & 4);
                        s.overload = count == 999 && point == 1;
                        const FamilyFrame frame = encodeFamilyFrame(m, s);
                        if (frame.size) out.emplace_back(frame.bytes.begin(), frame.bytes.begin() + frame.size);
                    }
    return out;
}

bool oneOf(std::string_view u, std::initializer_list<std::string_view> set) {
    for (std::string_view s : set)
        if (u == s) return true;
    return false;
}

constexpr const char* kKept = "kept: a Metex negative resistance may be relative";

// Why a reading is one no meter shows, or nullptr.
const char* falseBecause(const MeterDecoder& d) {
    const MeterReading& r = d.reading();
    const std::string_view fn = r.FunctionText, unit = r.UnitText;
    const bool rel = d.lcd().shown(Lcd::REL);
    const SiValue si = toSiValue(r.ValueText, r.UnitText, ".");
    if (fn == "Freq" && !oneOf(unit, {"Hz", "kHz", "MHz"})) return "frequency without hertz";
    if (fn == "DutyCycle" && unit != "%") return "duty cycle without %";
    if (fn == "CAP" && !oneOf(unit, {"pF", "nF", "uF", "mF", "F"})) return "capacitance without farads";
    if ((fn == "OHM" || fn == "CTN") && !oneOf(unit, {"*", "k*", "M*", ""})) return "resistance without ohms";
    // Every volt and ampere text the shipped meter's decoder names counts as one a meter shows.
    if ((fn == "DC" || fn == "AC") && !oneOf(unit, {"V", "mV", "uV", "nV", "A", "mA", "uA", "nA"}))
        return "AC/DC without V or A";
    if (fn == "Diode" && !oneOf(unit, {"V", "mV", "uV", "nV"})) return "diode without volts";
    if (!si.hasValue) return nullptr;
    const bool counted = fn == "Freq" || fn == "DutyCycle";
    if (counted && si.value < 0) return "negative frequency or duty";
    if (!rel && (fn == "CAP" || fn == "OHM") && si.value < 0) {
        if (fn == "OHM" && d.model().protocol == MeterProtocol::Metex14) return kKept;
        return "negative capacitance or resistance";
    }
    if (fn == "DutyCycle" && si.value > 100) return "duty above 100 %";
    const double count = r.ReadingValue < 0 ? -r.ReadingValue : r.ReadingValue;
    const double limit = counted ? (d.lcd().places == 5 ? 99999 : 9999) : d.model().fullCount;
    if (count > limit) return "count beyond full scale";
    return nullptr;
}

struct Result {
    std::size_t readings = 0;
    std::size_t falseOnes = 0;
    std::size_t kept = 0;
    std::set<std::string> examples;
};

Result run(const MeterModel& m, const std::vector<std::uint8_t>& noise) {
    Result out;
    auto d = makeDecoder(m, ".");
    d->setHandler([&](const MeterDecoder& x) {
        ++out.readings;
        if (const char* why = falseBecause(x)) {
            if (why == kKept) ++out.kept;
            else ++out.falseOnes;
            if (out.examples.size() < 4)
                out.examples.insert(x.reading().ValueText + " " + x.reading().FunctionText + " " +
                                    x.reading().UnitText + " (" + why + ")");
        }
    });
    constexpr std::size_t kChunk = 4096;
    for (std::size_t i = 0; i < noise.size(); i += kChunk)
        d->feed(noise.data() + i, std::min(kChunk, noise.size() - i));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::string only = argc > 2 ? argv[2] : "";
    const std::size_t size = megabytes * 1024 * 1024;
    std::printf("%-28s %-11s %12s %8s %6s  examples\n", "family (model)", "noise", "readings", "false", "kept");
    for (const char* name : {"KR20C", "VC-820", "M-3640D", "UT61E", "UT60G"}) {
        if (!only.empty() && only != name) continue;
        const MeterModel& m = *findMeter(name);
        const auto frames = realFrames(m);
        std::set<std::uint8_t> alphabet;
        std::vector<std::vector<std::uint8_t>> byPlace;
        for (const auto& f : frames)
            for (std::size_t i = 0; i < f.size(); ++i) {
                alphabet.insert(f[i]);
                if (byPlace.size() <= i) byPlace.resize(i + 1);
                byPlace[i].push_back(f[i]);
            }
        const std::vector<std::uint8_t> letters(alphabet.begin(), alphabet.end());
        std::mt19937_64 rng(24);
        for (const char* mode : {"alphabet", "positional"}) {
            std::vector<std::uint8_t> noise;
            noise.reserve(size + 32);
            const bool positional = mode[0] == 'p';
            while (noise.size() < size) {
                if (positional) {
                    const std::size_t length = frames[rng() % frames.size()].size();
                    for (std::size_t i = 0; i < length; ++i) noise.push_back(byPlace[i][rng() % byPlace[i].size()]);
                } else {
                    noise.push_back(letters[rng() % letters.size()]);
                }
            }
            const Result r = run(m, noise);
            const std::string label = std::string(protocolName(m.protocol)) + " (" + name + ")";
            std::printf("%-28s %-11s %12zu %8zu %6zu ", label.c_str(), mode, r.readings, r.falseOnes, r.kept);
            for (const std::string& e : r.examples) std::printf(" [%s]", e.c_str());
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
