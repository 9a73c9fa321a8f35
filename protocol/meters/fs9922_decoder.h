#pragma once
// The shipped meter's family behind the shared decoder interface: the
// program's own frame assembler and reading decoder, unchanged, so the
// default meter reads exactly as it always has (chart rules included).

#include "frame_assembler.h"
#include "meters/meter_decoder.h"
#include "reading_decoder.h"

namespace meterlink {

class Fs9922Decoder final : public MeterDecoder {
public:
    // fullCount is the count in force before the first frame (the model
    // profile's); later frames set it from their unit.
    Fs9922Decoder(const MeterModel& model, std::string_view sep, std::int32_t fullCount);

    void feed(const std::uint8_t* data, std::size_t size) override { assembler_.feed(data, size); }
    // A frame cut from the USB cable's reports: shape-tested as the serial
    // assembler tests its frames.
    void feedFrame(const std::uint8_t* data, std::size_t size) override;

    const MeterReading& reading() const override { return decoder_.reading(); }
    MeterReading& mutableReading() override { return decoder_.mutableReading(); }
    const MeterLcd& lcd() const override { return lcd_; }
    const ChartAxis& axis() const override { return decoder_.axis(); }
    const ChartScale& lastScale() const override { return decoder_.lastScale(); }
    bool progressMaximumChanged() const override { return decoder_.progressMaximumChanged(); }
    std::size_t rejectedCount() const override { return MeterDecoder::rejectedCount() + assembler_.rejectedCount(); }

    const ReadingDecoder& readingDecoder() const { return decoder_; }

private:
    void onFrame(const MeterFrame& frame);

    FrameAssembler assembler_;
    ReadingDecoder decoder_;
    MeterLcd lcd_;
};

}  // namespace meterlink
