#pragma once
// What the PC sends a meter of the AB CD family: the measurement request and
// the remote buttons, each a frame with a one-byte payload
// (AB CD 03 code sum-high sum-low). The meter does not answer a button; the
// next measurement shows what it changed.

#include "unit_abcd_frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace meterlink {

enum class AbCdCommand : std::uint8_t {
    MinMax = 0x41,      // MAX/MIN: starts recording, then steps MAX, MIN
    MinMaxOff = 0x42,   // leaves MAX/MIN
    Range = 0x46,       // manual range, one step up each press
    Auto = 0x47,        // back to automatic range
    Rel = 0x48,         // relative reading on/off
    HzDuty = 0x49,      // Hz/% on the frequency function
    Hold = 0x4A,
    Light = 0x4B,       // backlight on/off
    Select = 0x4C,      // the next function of the switch position
    PeakMinMax = 0x4D,  // peak hold: P-MAX, P-MIN
    PeakOff = 0x4E,
    Measure = 0x5E,     // the measurement request
};

constexpr std::size_t kAbCdCommandBytes = 6;
using AbCdCommandFrame = std::array<std::uint8_t, kAbCdCommandBytes>;

constexpr AbCdCommandFrame abCdCommandFrame(AbCdCommand c) {
    const auto code = static_cast<std::uint8_t>(c);
    const unsigned sum = kAbCdFirst + kAbCdSecond + 3u + code;
    return {kAbCdFirst, kAbCdSecond, 3, code, static_cast<std::uint8_t>(sum >> 8),
            static_cast<std::uint8_t>(sum & 0xFF)};
}

// The request as the meter table's poll text holds it.
inline constexpr char kAbCdMeasureRequest[] = "\xAB\xCD\x03\x5E\x01\xD9";
constexpr std::string_view kAbCdPoll{kAbCdMeasureRequest, kAbCdCommandBytes};

// The buttons by the names the window and `meterlink-cli send` use ("hold",
// "range", "auto", "rel", "minmax", "minmax-off", "select", "hz", "light",
// "peak", "peak-off"), any case; nothing for an unknown name.
std::optional<AbCdCommand> abCdCommandNamed(std::string_view name);
// Every button name, in the order the window shows them.
struct AbCdButton {
    std::string_view name;      // as `send` takes it
    std::string_view caption;   // as the window shows it
    AbCdCommand command;
};
const AbCdButton* abCdButtons(std::size_t& count);

// A frame from the PC: the command it carries, or nothing when the bytes are
// no well-formed command frame.
std::optional<AbCdCommand> parseAbCdCommand(const std::uint8_t* frame, std::size_t size);

}  // namespace meterlink
