#include "fs9922_decoder.h"

#include <algorithm>

namespace meterlink {

Fs9922Decoder::Fs9922Decoder(const MeterModel& model, std::string_view sep, std::int32_t fullCount)
    : MeterDecoder(model, sep),
      assembler_([this](const MeterFrame& f) { onFrame(f); }),
      decoder_(fullCount) {
    lcd_.state = decoder_.lcd();
}

void Fs9922Decoder::feedFrame(const std::uint8_t* data, std::size_t size) {
    if (!hasFrameShape(data, size) || size > kFrameBytes) {
        countRejected();
        return;
    }
    MeterFrame frame;
    std::copy(data, data + size, frame.bytes.begin());
    frame.size = size;
    onFrame(frame);
}

void Fs9922Decoder::onFrame(const MeterFrame& frame) {
    if (decoder_.decode(frame, decimalSeparator()) != DecodeResult::Decoded) {
        countRejected();
        return;
    }
    lcd_.state = decoder_.lcd();
    emitReading();
}

}  // namespace meterlink
