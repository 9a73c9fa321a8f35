#include "reading_pipeline.h"

#include "meters/fs9922_decoder.h"

namespace meterlink {

namespace {

std::unique_ptr<MeterDecoder> decoderFor(const ReadingPipeline::Settings& s) {
    if (!s.meter) return std::make_unique<Fs9922Decoder>(defaultMeter(), s.decimalSep, s.fullCount);
    return makeDecoder(*s.meter, s.decimalSep);
}

}  // namespace

ReadingPipeline::ReadingPipeline(Settings settings, ReadingHandler onReading)
    : settings_(std::move(settings)), onReading_(std::move(onReading)), decoder_(decoderFor(settings_)) {
    decoder_->setHandler([this](const MeterDecoder&) { this->onReading(); });
    parseLimits();
}

void ReadingPipeline::parseLimits() {
    high_ = parseLimit(settings_.highLimit, settings_.decimalSep);
    low_ = parseLimit(settings_.lowLimit, settings_.decimalSep);
}

void ReadingPipeline::feed(const std::uint8_t* data, std::size_t size) { decoder_->feed(data, size); }

void ReadingPipeline::onReading() {
    const std::string_view sep = settings_.decimalSep;
    // The limit texts follow the user's separator before they are judged.
    const bool highFixed = fixSeparator(settings_.highLimit, sep);
    if (fixSeparator(settings_.lowLimit, sep) || highFixed) parseLimits();
    verdict_ = judgeLimits(decoder_->reading().ValueText, decoder_->reading().UnitText, high_, low_, sep);
    if (verdict_ != Verdict::Unchanged) {
        MeterReading& reading = decoder_->mutableReading();
        reading.JudgeText = judgeText(verdict_);
        const SiLimits limits = limitsInSi(high_, low_, reading.UnitText);
        reading.HighLimitSi = limits.high;
        reading.LowLimitSi = limits.low;
    }
    if (onReading_) onReading_(*this);
}

}  // namespace meterlink
