#pragma once
// Cuts the meter's byte stream into frames at each CR and keeps only those of
// the right shape. Chunks may be split anywhere.

#include "meter_frame.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace meterlink {

class FrameAssembler {
public:
    using FrameHandler = std::function<void(const MeterFrame&)>;

    explicit FrameAssembler(FrameHandler onFrame = {});
    void setHandler(FrameHandler onFrame) { onFrame_ = std::move(onFrame); }

    // Feeds received bytes; calls the handler once per accepted frame, in order,
    // before looking at the next byte.
    void feed(const std::uint8_t* data, std::size_t size);

    std::size_t acceptedCount() const { return accepted_; }
    std::size_t rejectedCount() const { return rejected_; }

private:
    // An accumulation is the previous frame's LF, the sign, 11 (or 10) bytes and
    // the CR: 14 bytes at most. Anything longer can never pass the shape test,
    // so only its length is counted, not its bytes.
    static constexpr std::size_t kMaxAccum = kFrameBytes + 1;

    FrameHandler onFrame_;
    std::uint8_t accum_[kMaxAccum]{};
    std::size_t accumLen_ = 0;   // may exceed kMaxAccum; bytes past it are not kept
    std::size_t accepted_ = 0;
    std::size_t rejected_ = 0;
};

// The assembler of the four-bit variant: each byte carries one hex digit in its
// low nibble and 0xE in the high nibble marks the last byte of a frame. Its
// frames are kept as text; nothing decodes them.
class NibbleFrameAssembler {
public:
    void feed(const std::uint8_t* data, std::size_t size);
    const std::string& frameText() const { return frameText_; }
    const std::string& pending() const { return accum_; }

private:
    // Garbage without an end marker must not grow without bound; a real frame
    // is a few dozen digits.
    static constexpr std::size_t kMaxAccum = 4096;
    std::string accum_;
    std::string frameText_;
};

}  // namespace meterlink
