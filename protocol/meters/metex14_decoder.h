#pragma once
// Metex 14-byte ASCII: the display as text, "DC  -1.234  V" and CR: two
// bytes of mode, seven of value (sign, up to five digits, one point), four
// of unit. Many models send it only when asked with "D"; some with four
// displays answer with four such lines, the main display first.

#include "display_decoder.h"

namespace meterlink {

constexpr std::size_t kMetex14FrameBytes = 14;

class Metex14Decoder final : public DisplayDecoder {
public:
    Metex14Decoder(const MeterModel& model, std::string_view sep);
    void feed(const std::uint8_t* data, std::size_t size) override;

private:
    bool decodeFrame();
    std::uint8_t frame_[kMetex14FrameBytes]{};
    std::size_t have_ = 0;
    std::size_t line_ = 0;   // which of a four-display answer's lines comes next
};

}  // namespace meterlink
