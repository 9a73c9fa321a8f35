#pragma once
// Bytes in, judged readings out: assembler, decoder, chart scaling and the
// limit judge in the order the program runs them. Used where there is no
// window (command-line tool, benchmark, fuzzer).

#include "frame_assembler.h"
#include "limit_judge.h"
#include "limit_value.h"
#include "reading_decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace meterlink {

class ReadingPipeline {
public:
    struct Settings {
        std::string highLimit = "6000";
        std::string lowLimit = "-6000";
        std::string decimalSep = ".";
        std::int32_t fullCount = 6000;
    };
    using ReadingHandler = std::function<void(const ReadingPipeline&)>;

    explicit ReadingPipeline(Settings settings, ReadingHandler onReading = {});

    void feed(const std::uint8_t* data, std::size_t size);
    // A frame already cut and shape-tested elsewhere (the USB cable's reports).
    void feedFrame(const MeterFrame& frame) { onFrame(frame); }

    const ReadingDecoder& decoder() const { return decoder_; }
    const MeterReading& reading() const { return decoder_.reading(); }
    // For the sampling timer, which clears NewReadingFlag.
    MeterReading& mutableReading() { return decoder_.mutableReading(); }
    Verdict lastVerdict() const { return verdict_; }
    const Settings& settings() const { return settings_; }
    std::size_t decodedCount() const { return decoded_; }
    // Accumulations that failed the shape test plus frames with bad digits.
    std::size_t rejectedCount() const { return assembler_.rejectedCount() + badDigits_; }

private:
    void onFrame(const MeterFrame& frame);
    void parseLimits();

    Settings settings_;
    ReadingHandler onReading_;
    FrameAssembler assembler_;
    ReadingDecoder decoder_;
    Verdict verdict_ = Verdict::Unchanged;
    // The limits change only through the separator fix-up, so they are parsed
    // then and not at every frame.
    LimitValue high_;
    LimitValue low_;
    std::size_t decoded_ = 0;
    std::size_t badDigits_ = 0;
};

}  // namespace meterlink
