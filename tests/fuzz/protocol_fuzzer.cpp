// Feeds arbitrary bytes through everything that reads meter or user input:
// the frame assemblers, the decoder with its chart scaling, the limit judge
// with its parsing, separator fix-up and key filter, and the scenario parser.
#include "protocol/frame_assembler.h"
#include "protocol/frame_builder.h"
#include "protocol/limit_judge.h"
#include "protocol/reading_pipeline.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // The first bytes choose the settings and the chunk size; the rest is the stream.
    static const char* const kSeps[] = {".", ",", "\u066B", "'"};
    meterlink::ReadingPipeline::Settings settings;
    settings.decimalSep = kSeps[data[0] & 3];
    const std::size_t limitLen = (data[1] & 7u) < size - 4 ? (data[1] & 7u) : 0;
    settings.highLimit.assign(reinterpret_cast<const char*>(data + 4), limitLen);
    settings.lowLimit = (data[1] & 8) ? "-6000" : settings.highLimit;
    const std::size_t chunk = 1 + data[2] % 64;
    const std::uint8_t* stream = data + 4 + limitLen;
    const std::size_t streamSize = size - 4 - limitLen;

    double sink = 0;
    meterlink::ReadingPipeline pipeline(settings, [&sink](const meterlink::ReadingPipeline& p) {
        const auto& r = p.reading();
        sink += r.ChartValue + r.ReadingValue + static_cast<double>(r.ValueText.size());
        // The decoder's texts must always be ones the judge can take.
        meterlink::judge(r.ValueText, p.settings().highLimit, p.settings().lowLimit, p.settings().decimalSep);
    });
    meterlink::NibbleFrameAssembler nibbles;
    for (std::size_t i = 0; i < streamSize; i += chunk) {
        const std::size_t n = streamSize - i < chunk ? streamSize - i : chunk;
        pipeline.feed(stream + i, n);
        nibbles.feed(stream + i, n);
    }

    const std::string_view text(reinterpret_cast<const char*>(stream), streamSize);
    auto slice = [&text](std::size_t at, std::size_t n) { return at < text.size() ? text.substr(at, n) : std::string_view(); };
    std::string limit(text.substr(0, 40));
    meterlink::fixSeparator(limit, settings.decimalSep);
    std::string good = "6000";
    meterlink::validateLimit(limit, good, settings.decimalSep);
    meterlink::limitKeyText(slice(0, 8), slice(8, 1 + (data[3] & 3u)), slice(9, 2), settings.decimalSep);
    meterlink::DisplaySpec spec;
    std::string error;
    if (meterlink::parseDisplaySpec(std::string(text.substr(0, 64)), spec, error))
        meterlink::encodeFrame(meterlink::fieldsFor(spec));
    return sink == -1.5 ? 1 : 0;
}
