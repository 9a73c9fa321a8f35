// How many frames damaged by one flipped bit still become a wrong row, with
// and without "Confirm readings", for each meter family, and what the rule
// costs in delay:
//
//   build/bench/confirm_readings_bench
//
// Two measurements per family and N (frames that must agree, 1 = off):
// - "lone": every bit of every frame of a set of readings flipped in turn,
//   the damaged frame between three good ones on each side, as a burst of
//   noise hits one frame. wrong% = rows that differ from the meter's reading
//   per damaged frame.
// - "noisy": a long stream whose reading changes every 6 frames, each frame
//   damaged (one random bit) with probability 5 %: damaged frames also come
//   in pairs. wrong% as above; lost% = true readings never logged;
//   delay = frames from a new reading's first frame to its first row.
// The time per frame is that of decoding and confirming.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/reading_confirmation.h"
#include "protocol/reading_pipeline.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

const char* const kMeters[] = {"KR20C", "TP4000ZC", "M-3640D", "UT61E", "UT60G"};

const char* const kLines[] = {
    "DCV 1.234", "DCV m 123.4", "ACV 12.34", "DCA u 123.4", "ACA m 12.34", "OHM 123.4", "OHM k 1.234",
    "OHM M 12.34", "CTN 012.3", "DIODE 0.512", "CAP n 12.34", "CAP u 1.234", "TEMPC 0025", "FREQ k 12.34",
    "DUTY 050.0", "OHM k OL", "DCV -1.234", "DCV 0.001 manual",
};

using Frame = std::vector<std::uint8_t>;

std::vector<Frame> framesOf(const meterlink::MeterModel& m) {
    std::vector<Frame> frames;
    for (const char* line : kLines) {
        meterlink::DisplaySpec spec;
        std::string error;
        meterlink::parseDisplaySpec(line, spec, error);
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(m, spec);
        if (f.size > 0) frames.emplace_back(f.bytes.begin(), f.bytes.begin() + f.size);
    }
    return frames;
}

std::string keyOf(const meterlink::MeterReading& r) {
    std::string key;
    meterlink::ReadingConfirmation::appendKey(key, r);
    return key;
}

// Feeds frames through the family's decoder and the confirmation rule; each
// confirmed reading is a row, compared with the reading the meter showed.
class Line {
public:
    Line(const meterlink::MeterModel& m, int confirm)
        : confirmation_(confirm), pipeline_(settingsFor(m), [this](const meterlink::ReadingPipeline& p) {
              if (confirmation_.offer(p.reading())) rows_.push_back(keyOf(p.reading()));
          }) {}

    // The rows the frame brought.
    const std::vector<std::string>& feed(const Frame& frame) {
        rows_.clear();
        pipeline_.feed(frame.data(), frame.size());
        return rows_;
    }

private:
    static meterlink::ReadingPipeline::Settings settingsFor(const meterlink::MeterModel& m) {
        meterlink::ReadingPipeline::Settings s;
        s.meter = &m == &meterlink::defaultMeter() ? nullptr : &m;
        s.fullCount = m.fullCount;
        return s;
    }

    meterlink::ReadingConfirmation confirmation_;
    std::vector<std::string> rows_;
    meterlink::ReadingPipeline pipeline_;
};

// The key each good frame decodes to.
std::vector<std::string> trueKeys(const meterlink::MeterModel& m, const std::vector<Frame>& frames) {
    std::vector<std::string> keys;
    Line line(m, 1);
    for (const Frame& f : frames) {
        std::string key;
        for (int i = 0; i < 3 && key.empty(); ++i)
            for (const std::string& row : line.feed(f)) key = row;
        keys.push_back(key);
    }
    return keys;
}

void BM_LoneDamagedFrame(benchmark::State& state) {
    const meterlink::MeterModel& m = *meterlink::findMeter(kMeters[state.range(0)]);
    const int confirm = static_cast<int>(state.range(1));
    state.SetLabel(std::string(meterlink::protocolName(m.protocol)) + " (" + meterlink::meterName(m) + ")");
    const std::vector<Frame> frames = framesOf(m);
    const std::vector<std::string> keys = trueKeys(m, frames);
    std::size_t damaged = 0, wrong = 0, frameCount = 0;
    for (auto _ : state) {
        damaged = wrong = frameCount = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            for (std::size_t bit = 0; bit < frames[i].size() * 8; ++bit) {
                Line line(m, confirm);
                Frame bad = frames[i];
                bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
                ++damaged;
                for (int k = 0; k < 7; ++k) {
                    for (const std::string& row : line.feed(k == 3 ? bad : frames[i]))
                        if (row != keys[i]) ++wrong;
                    ++frameCount;
                }
            }
        }
    }
    state.counters["damaged"] = static_cast<double>(damaged);
    state.counters["wrong%"] = 100.0 * static_cast<double>(wrong) / static_cast<double>(damaged);
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frameCount),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoneDamagedFrame)->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2, 3}})->Unit(benchmark::kMillisecond);

void BM_NoisyLine(benchmark::State& state) {
    const meterlink::MeterModel& m = *meterlink::findMeter(kMeters[state.range(0)]);
    const int confirm = static_cast<int>(state.range(1));
    state.SetLabel(std::string(meterlink::protocolName(m.protocol)) + " (" + meterlink::meterName(m) + ")");
    const std::vector<Frame> frames = framesOf(m);
    const std::vector<std::string> keys = trueKeys(m, frames);
    constexpr int kHold = 6;            // frames per reading
    constexpr int kReadings = 20000;
    constexpr double kDamage = 0.05;    // chance that a frame is hit
    std::size_t damaged = 0, wrong = 0, lost = 0, delaySum = 0, delayed = 0;
    for (auto _ : state) {
        damaged = wrong = lost = delaySum = delayed = 0;
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> chance(0, 1);
        Line line(m, confirm);
        std::size_t previous = frames.size();
        for (int r = 0; r < kReadings; ++r) {
            // Each reading differs from the one before.
            std::size_t i = random() % frames.size();
            if (i == previous) i = (i + 1) % frames.size();
            previous = i;
            bool logged = false;
            for (int k = 0; k < kHold; ++k) {
                Frame f = frames[i];
                if (chance(random) < kDamage) {
                    const std::size_t bit = random() % (f.size() * 8);
                    f[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
                    ++damaged;
                }
                for (const std::string& row : line.feed(f)) {
                    if (row != keys[i]) {
                        ++wrong;
                    } else if (!logged) {
                        logged = true;
                        delaySum += static_cast<std::size_t>(k);
                        ++delayed;
                    }
                }
            }
            if (!logged) ++lost;
        }
    }
    state.counters["damaged"] = static_cast<double>(damaged);
    state.counters["wrong%"] = 100.0 * static_cast<double>(wrong) / static_cast<double>(damaged);
    state.counters["lost%"] = 100.0 * static_cast<double>(lost) / kReadings;
    state.counters["delay_frames"] = delayed ? static_cast<double>(delaySum) / static_cast<double>(delayed) : 0;
}
BENCHMARK(BM_NoisyLine)->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2, 3}})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
