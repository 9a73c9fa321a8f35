// Bytes to judged readings: assembler, decoder, chart scaling and limit judge,
// fed in the 24-byte chunks a 100 ms poll delivers at 2400 baud.
//
//   build/bench/protocol_bench
//
// "frames/s" is the decoding rate on one core; "allocs/frame" counts heap
// allocations per frame once the pipeline has warmed up (the target is 0).
#include "protocol/frame_builder.h"
#include "protocol/reading_pipeline.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// A byte stream of frames that walks through every function and range.
std::vector<std::uint8_t> meterStream(std::size_t frames) {
    static const char* const kLines[] = {
        "DCV 5.999", "DCV m 123.4", "ACV 59.99 hold", "DCA u 599.9", "ACA m 59.99", "DCA 5.999 rel",
        "OHM 599.9", "OHM k 5.999", "OHM M 59.99", "CTN 12.3", "DIODE 0.512", "CAP n 39.99",
        "CAP u 3.999", "TEMPC 25", "TEMPF 77", "FREQ 9.999", "FREQ k 50.00", "DUTY 50.0",
        "OHM k OL", "DCV -OL", "DCV -1.234 max", "DCV 0.001 min bat manual",
    };
    std::vector<std::uint8_t> out{meterlink::kLF};
    for (std::size_t i = 0; i < frames; ++i) {
        meterlink::DisplaySpec spec;
        std::string error;
        meterlink::parseDisplaySpec(kLines[i % (sizeof kLines / sizeof *kLines)], spec, error);
        const auto w = meterlink::encodeFrame(meterlink::fieldsFor(spec));
        out.insert(out.end(), w.begin(), w.end());
    }
    return out;
}

void BM_BytesToJudgedReadings(benchmark::State& state) {
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> stream = meterStream(4096);
    std::size_t frames = 0;
    double sink = 0;
    meterlink::ReadingPipeline pipeline({}, [&](const meterlink::ReadingPipeline& p) {
        ++frames;
        sink += p.reading().ChartValue;
    });
    // Warm up so every string has reached its steady capacity.
    pipeline.feed(stream.data(), stream.size());
    frames = 0;
    const long long allocsBefore = gAllocations.load();
    for (auto _ : state) {
        for (std::size_t i = 0; i < stream.size(); i += chunk)
            pipeline.feed(stream.data() + i, std::min(chunk, stream.size() - i));
        benchmark::DoNotOptimize(sink);
    }
    const long long allocs = gAllocations.load() - allocsBefore;
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["allocs/frame"] = frames ? static_cast<double>(allocs) / static_cast<double>(frames) : 0;
    state.SetBytesProcessed(static_cast<long long>(state.iterations() * stream.size()));
}
BENCHMARK(BM_BytesToJudgedReadings)->Arg(24)->Arg(1)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
