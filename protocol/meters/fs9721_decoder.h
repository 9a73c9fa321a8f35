#pragma once
// FS9721-LP3: 14 bytes of LCD segments, the high nibble of each byte its
// index 1-14, the low nibble four segments. 4000 counts.

#include "display_decoder.h"

namespace meterlink {

constexpr std::size_t kFs9721FrameBytes = 14;

class Fs9721Decoder final : public DisplayDecoder {
public:
    Fs9721Decoder(const MeterModel& model, std::string_view sep);
    void feed(const std::uint8_t* data, std::size_t size) override;

private:
    bool decodeFrame();
    std::uint8_t frame_[kFs9721FrameBytes]{};
    std::size_t have_ = 0;
};

// The seven segments of one digit as the frame carries them (bit 7 excluded).
// Returns '0'-'9', '\0' for blank, 'L', or 0x7F for a pattern no digit has.
char fs9721Glyph(std::uint8_t segments);
std::uint8_t fs9721Segments(char glyph);

}  // namespace meterlink
