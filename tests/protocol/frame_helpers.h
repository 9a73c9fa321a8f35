#pragma once
// Builds frames from raw fields for the protocol tests.

#include "protocol/frame_builder.h"
#include "protocol/meter_frame.h"

#include <string>
#include <vector>

namespace meterlink::test {

// sign, four digit characters, point code, status bytes 8-11.
inline FrameFields raw(char sign, const char (&digits)[5], char point, std::uint8_t s8, std::uint8_t s9,
                       std::uint8_t s10, std::uint8_t s11) {
    FrameFields f;
    f.sign = sign;
    for (std::size_t i = 0; i < 4; ++i) f.digits[i] = digits[i];
    f.point = point;
    f.status = {s8, s9, s10, s11};
    return f;
}

// The 13 frame bytes (sign .. CR) as the assembler hands them on.
inline MeterFrame frameOf(const FrameFields& f) {
    const WireFrame w = encodeFrame(f);
    MeterFrame m;
    for (std::size_t i = 0; i < kFrameBytes; ++i) m.bytes[i] = w[i];
    m.size = kFrameBytes;
    return m;
}

// A stream of wire frames with the LF that aligns the first one.
inline std::vector<std::uint8_t> streamOf(const std::vector<FrameFields>& frames) {
    std::vector<std::uint8_t> out{kLF};
    for (const FrameFields& f : frames) {
        const WireFrame w = encodeFrame(f);
        out.insert(out.end(), w.begin(), w.end());
    }
    return out;
}

}  // namespace meterlink::test
