#include "meter_frame.h"

namespace meterlink {

std::string frameText(const MeterFrame& frame) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(frame.size * 2);
    for (std::size_t i = 0; i < frame.size; ++i) {
        text += kHex[frame.bytes[i] >> 4];
        text += kHex[frame.bytes[i] & 0x0F];
    }
    return text;
}

bool hasFrameShape(const std::uint8_t* bytes, std::size_t size) {
    if (size < 12 || (bytes[0] != '+' && bytes[0] != '-'))
        return false;
    return (size >= 13 && bytes[12] == kCR) || bytes[11] == kCR;
}

}  // namespace meterlink
