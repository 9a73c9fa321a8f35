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

void Fs9922Decoder::onFrame(const MeterFrame& received) {
    MeterFrame frame = received;
    // Where the maker wired z1 to the diode symbol, the frame says "diode,
    // volts" in the chip's own diode bit, and z1 is no range flag.
    constexpr std::size_t kZ1Byte = 9, kDiodeByte = 10;
    constexpr std::uint8_t kZ1Mask = 0x80, kDiodeMask = 0x04;
    if (model().has(kZ1IsDiodeVolts) && (frame.byte(kZ1Byte) & kZ1Mask)) {
        frame.bytes[kZ1Byte - 1] &= static_cast<std::uint8_t>(~kZ1Mask);
        frame.bytes[kDiodeByte - 1] |= kDiodeMask;
    }
    if (decoder_.decode(frame, decimalSeparator()) != DecodeResult::Decoded) {
        countRejected();
        return;
    }
    lcd_.state = decoder_.lcd();
    emitReading();
}

}  // namespace meterlink
