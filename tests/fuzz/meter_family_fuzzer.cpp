// Arbitrary bytes through one meter family's decoder (the family is chosen
// at build time: METERLINK_FUZZ_METER names a model of it). Checks what must
// hold whatever arrives: readings stay within what the display can show,
// their texts are ones the judge can take, and how the bytes are cut into
// chunks changes nothing.
#include "protocol/limit_judge.h"
#include "protocol/meters/meter_decoder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Seen {
    std::vector<double> values;
};

Seen run(const std::uint8_t* data, std::size_t size, std::size_t chunk) {
    const meterlink::MeterModel& model = *meterlink::findMeter(METERLINK_FUZZ_METER);
    auto decoder = meterlink::makeDecoder(model, ",");
    Seen seen;
    decoder->setHandler([&](const meterlink::MeterDecoder& d) {
        const meterlink::MeterReading& r = d.reading();
        if (!std::isfinite(r.ReadingValue) || std::fabs(r.ReadingValue) > 99999 || r.ValueText.empty() ||
            !(std::fabs(r.ChartValue) <= std::fabs(d.axis().maximum) * 10 + 1e-9) ||
            d.lcd().places < 4 || d.lcd().places > meterlink::kMaxDigitPlaces)
            std::abort();
        meterlink::judge(r.ValueText, "1", "-1", ",");
        seen.values.push_back(r.ReadingValue);
    });
    for (std::size_t i = 0; i < size; i += chunk) decoder->feed(data + i, size - i < chunk ? size - i : chunk);
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t chunk = 1 + data[0] % 32;
    const Seen whole = run(data + 1, size - 1, size);
    const Seen split = run(data + 1, size - 1, chunk);
    if (whole.values != split.values) std::abort();
    return 0;
}
