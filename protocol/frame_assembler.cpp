#include "frame_assembler.h"

namespace meterlink {

FrameAssembler::FrameAssembler(FrameHandler onFrame) : onFrame_(std::move(onFrame)) {}

void FrameAssembler::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (accumLen_ < kMaxAccum)
            accum_[accumLen_] = b;
        ++accumLen_;
        if (b != kCR)
            continue;

        // The frame is the accumulation without its first byte (the LF that
        // ended the previous frame), cut to 13 bytes.
        const bool fits = accumLen_ <= kMaxAccum;
        if (fits && hasFrameShape(accum_ + 1, accumLen_ - 1)) {
            MeterFrame frame;
            frame.size = accumLen_ - 1;
            for (std::size_t k = 0; k < frame.size; ++k)
                frame.bytes[k] = accum_[k + 1];
            ++accepted_;
            accumLen_ = 0;
            if (onFrame_)
                onFrame_(frame);
        } else {
            ++rejected_;
            accumLen_ = 0;
        }
    }
}

void NibbleFrameAssembler::feed(const std::uint8_t* data, std::size_t size) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < size; ++i) {
        if (accum_.size() >= kMaxAccum)
            accum_.erase(0, accum_.size() - kMaxAccum + 1);
        accum_ += kHex[data[i] & 0x0F];
        if ((data[i] >> 4) == 0x0E) {
            frameText_ = accum_;
            accum_.clear();
        }
    }
}

}  // namespace meterlink
