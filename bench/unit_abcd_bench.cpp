// The UNI-T AB CD family, measured:
//
//   build/bench/unit_abcd_bench
//
// BM_DecodeAbCd: answers in, readings out, fed in 64-byte chunks as the
// bridge delivers them; "frames/s" on one core (target at least two
// million), "allocs/frame" once warmed up (target 0).
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/meter_decoder.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> answerStream(const meterlink::MeterModel& m, std::size_t frames) {
    static const char* const kLines[] = {
        "DCV 1.234",   "DCV m 123.4", "ACV 12.34 hold", "DCA u 123.4",  "ACA m 12.34", "DCA 1.234 rel",
        "OHM 123.4",   "OHM k 1.234", "OHM M 12.34",    "CTN 012.3",    "DIODE 0.512", "CAP n 12.34",
        "CAP u 1.234", "FREQ k 12.34", "DUTY 050.0",    "OHM k OL",     "DCV -OL",     "DCV -1.234 max",
    };
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0, made = 0; made < frames; ++i) {
        meterlink::DisplaySpec spec;
        std::string error;
        meterlink::parseDisplaySpec(kLines[i % (sizeof kLines / sizeof *kLines)], spec, error);
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(m, spec);
        if (f.size == 0) continue;
        out.insert(out.end(), f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(f.size));
        ++made;
    }
    return out;
}

void BM_DecodeAbCd(benchmark::State& state) {
    const char* const meters[] = {"UT61E+", "UT61D+"};
    const meterlink::MeterModel& m = *meterlink::findMeter(meters[state.range(0)]);
    state.SetLabel(meterlink::meterName(m));
    const std::vector<std::uint8_t> stream = answerStream(m, 4096);
    auto decoder = meterlink::makeDecoder(m, ".");
    std::size_t frames = 0;
    double sink = 0;
    decoder->setHandler([&](const meterlink::MeterDecoder& d) {
        ++frames;
        sink += d.reading().ChartValue;
    });
    constexpr std::size_t kChunk = 64;
    decoder->feed(stream.data(), stream.size());
    frames = 0;
    const long long allocsBefore = gAllocations.load();
    for (auto _ : state) {
        for (std::size_t i = 0; i < stream.size(); i += kChunk)
            decoder->feed(stream.data() + i, std::min(kChunk, stream.size() - i));
        benchmark::DoNotOptimize(sink);
    }
    const long long allocs = gAllocations.load() - allocsBefore;
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["allocs/frame"] = frames ? static_cast<double>(allocs) / static_cast<double>(frames) : 0;
    state.counters["rejected"] = static_cast<double>(decoder->rejectedCount());
}
BENCHMARK(BM_DecodeAbCd)->DenseRange(0, 1);

}  // namespace

BENCHMARK_MAIN();
