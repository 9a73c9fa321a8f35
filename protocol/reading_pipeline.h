#pragma once
// Bytes in, judged readings out: assembler, decoder, chart scaling and the
// limit judge in the order the program runs them. Used where there is no
// window (command-line tool, benchmark, fuzzer).

#include "limit_judge.h"
#include "limit_value.h"
#include "meters/meter_decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace meterlink {

class ReadingPipeline {
public:
    struct Settings {
        std::string highLimit = "6000";
        std::string lowLimit = "-6000";
        std::string decimalSep = ".";
        std::int32_t fullCount = 6000;   // the shipped meter's count before its first frame
        // The meter whose protocol is read; nullptr is the shipped default.
        // Other meters start from their table row's full-scale count.
        const MeterModel* meter = nullptr;
    };
    using ReadingHandler = std::function<void(const ReadingPipeline&)>;

    explicit ReadingPipeline(Settings settings, ReadingHandler onReading = {});

    void feed(const std::uint8_t* data, std::size_t size);
    // A frame already cut and shape-tested elsewhere (the USB cable's reports).
    void feedFrame(const MeterFrame& frame) { decoder_->feedFrame(frame.bytes.data(), frame.size); }

    const MeterDecoder& decoder() const { return *decoder_; }
    const MeterReading& reading() const { return decoder_->reading(); }
    // For the sampling timer, which clears NewReadingFlag.
    MeterReading& mutableReading() { return decoder_->mutableReading(); }
    Verdict lastVerdict() const { return verdict_; }
    const Settings& settings() const { return settings_; }
    std::size_t decodedCount() const { return decoder_->decodedCount(); }
    // Accumulations that failed the shape test plus frames the chip cannot send.
    std::size_t rejectedCount() const { return decoder_->rejectedCount(); }

private:
    void onReading();
    void parseLimits();

    Settings settings_;
    ReadingHandler onReading_;
    std::unique_ptr<MeterDecoder> decoder_;
    Verdict verdict_ = Verdict::Unchanged;
    // The limits change only through the separator fix-up, so they are parsed
    // then and not at every frame.
    LimitValue high_;
    LimitValue low_;
};

}  // namespace meterlink
