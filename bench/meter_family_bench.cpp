// Decode speed of each meter family's decoder, bytes in, readings out, fed
// in 64-byte chunks:
//
//   build/bench/meter_family_bench
//
// "frames/s" is the decoding rate on one core (the target is at least two
// million); "allocs/frame" counts heap allocations per frame once the
// decoder has warmed up (the target is 0).
//
// BM_NoiseReadings feeds each decoder 100 MB of noise drawn evenly from the
// byte values its own family's frames use (a fixed seed, so runs compare)
// and counts the readings it makes of it: "false/100MB", target 0.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/meter_decoder.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// The polled meters' entries are their answers to each request, the
// acknowledgement line included.
const char* const kMeters[] = {"KR20C", "VC-820", "M-4650CR", "UT61E", "UT60G", "Fluke 289", "Fluke 189"};

// Every function and range each meter can show, over and over.
std::vector<std::uint8_t> meterStream(const meterlink::MeterModel& m, std::size_t frames) {
    static const char* const kLines[] = {
        "DCV 1.234", "DCV m 123.4", "ACV 12.34 hold", "DCA u 123.4", "ACA m 12.34", "DCA 1.234 rel",
        "OHM 123.4", "OHM k 1.234", "OHM M 12.34", "CTN 012.3", "DIODE 0.512", "CAP n 12.34",
        "CAP u 1.234", "TEMPC 0025", "FREQ k 12.34", "DUTY 050.0", "OHM k OL", "DCV -OL",
        "DCV -1.234 max", "DCV 0.001 min bat manual",
    };
    // The shipped meter's frames end in the LF the next one needs, so only
    // the very first frame of the warm-up goes unread.
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0, made = 0; made < frames; ++i) {
        meterlink::DisplaySpec spec;
        std::string error;
        meterlink::parseDisplaySpec(kLines[i % (sizeof kLines / sizeof *kLines)], spec, error);
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(m, spec);
        if (f.size == 0) continue;
        out.insert(out.end(), f.bytes.begin(), f.bytes.begin() + f.size);
        ++made;
    }
    return out;
}

void BM_DecodeFamily(benchmark::State& state) {
    const meterlink::MeterModel& m = *meterlink::findMeter(kMeters[state.range(0)]);
    state.SetLabel(std::string(meterlink::protocolName(m.protocol)) + " (" + meterlink::meterName(m) + ")");
    const std::vector<std::uint8_t> stream = meterStream(m, 4096);
    auto decoder = meterlink::makeDecoder(m, ".");
    std::size_t frames = 0;
    double sink = 0;
    decoder->setHandler([&](const meterlink::MeterDecoder& d) {
        ++frames;
        sink += d.reading().ChartValue;
    });
    constexpr std::size_t kChunk = 64;
    decoder->feed(stream.data(), stream.size());   // texts reach their steady capacity
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
BENCHMARK(BM_DecodeFamily)->DenseRange(0, 6);

void BM_NoiseReadings(benchmark::State& state) {
    const meterlink::MeterModel& m = *meterlink::findMeter(kMeters[state.range(0)]);
    state.SetLabel(std::string(meterlink::protocolName(m.protocol)) + " (" + meterlink::meterName(m) + ")");
    const std::vector<std::uint8_t> frames = meterStream(m, 256);
    std::set<std::uint8_t> distinct(frames.begin(), frames.end());
    // The Cyrustek chips send every byte as 0x30-0x3F, then CR LF.
    if (m.protocol == meterlink::MeterProtocol::Es51922 || m.protocol == meterlink::MeterProtocol::Es51986)
        for (std::uint8_t b = 0x30; b <= 0x3F; ++b) distinct.insert(b);
    const std::vector<std::uint8_t> alphabet(distinct.begin(), distinct.end());
    constexpr std::size_t kTotal = 100u * 1000u * 1000u;
    constexpr std::size_t kBlock = 1u << 20;
    std::vector<std::uint8_t> block(kBlock);
    std::size_t readings = 0;
    for (auto _ : state) {
        std::mt19937_64 random(19230);
        std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
        auto decoder = meterlink::makeDecoder(m, ".");
        readings = 0;
        decoder->setHandler([&](const meterlink::MeterDecoder&) { ++readings; });
        for (std::size_t fed = 0; fed < kTotal; fed += kBlock) {
            const std::size_t n = std::min(kBlock, kTotal - fed);
            for (std::size_t i = 0; i < n; ++i) block[i] = alphabet[pick(random)];
            decoder->feed(block.data(), n);
        }
    }
    state.counters["false/100MB"] = static_cast<double>(readings);
    state.counters["byte values"] = static_cast<double>(alphabet.size());
}
BENCHMARK(BM_NoiseReadings)->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
