#include "reading_pipeline.h"

namespace meterlink {

ReadingPipeline::ReadingPipeline(Settings settings, ReadingHandler onReading)
    : settings_(std::move(settings)),
      onReading_(std::move(onReading)),
      assembler_([this](const MeterFrame& f) { onFrame(f); }),
      decoder_(settings_.fullCount) {
    parseLimits();
}

void ReadingPipeline::parseLimits() {
    high_ = parseLimit(settings_.highLimit, settings_.decimalSep);
    low_ = parseLimit(settings_.lowLimit, settings_.decimalSep);
}

void ReadingPipeline::feed(const std::uint8_t* data, std::size_t size) { assembler_.feed(data, size); }

void ReadingPipeline::onFrame(const MeterFrame& frame) {
    const std::string_view sep = settings_.decimalSep;
    if (decoder_.decode(frame, sep) != DecodeResult::Decoded) {
        ++badDigits_;
        return;
    }
    // The limit texts follow the user's separator before they are judged.
    const bool highFixed = fixSeparator(settings_.highLimit, sep);
    if (fixSeparator(settings_.lowLimit, sep) || highFixed) parseLimits();
    verdict_ = judgeLimits(decoder_.reading().ValueText, decoder_.reading().UnitText, high_, low_, sep);
    if (verdict_ != Verdict::Unchanged)
        decoder_.mutableReading().JudgeText = judgeText(verdict_);
    ++decoded_;
    if (onReading_) onReading_(*this);
}

}  // namespace meterlink
