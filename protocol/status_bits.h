#pragma once
// The four status bytes of a frame (bytes 8-11): which bit lights which LCD
// indicator, in the order the decoder tests them.

#include "lcd_state.h"

#include <array>
#include <cstdint>

namespace meterlink {

struct StatusBit {
    std::uint8_t byte;   // frame byte number, 8-11
    std::uint8_t mask;
    Lcd indicator;
};

// Test order matters where several bits write the same text; auto range
// (8.5) is handled on its own because a clear bit also means something.
constexpr std::array<StatusBit, 22> kStatusBits{{
    {8, 0x10, Lcd::Dc1},   {8, 0x08, Lcd::AC},    {8, 0x04, Lcd::REL},
    {8, 0x02, Lcd::Hold},  {10, 0x04, Lcd::DI},   {9, 0x20, Lcd::Max},
    {9, 0x10, Lcd::Min},   {9, 0x04, Lcd::Batt},  {9, 0x02, Lcd::Nano},
    {10, 0x80, Lcd::Micro}, {10, 0x40, Lcd::Milli}, {10, 0x20, Lcd::Kilo},
    {10, 0x10, Lcd::Mega}, {10, 0x08, Lcd::Fm},   {10, 0x02, Lcd::BF},
    {11, 0x80, Lcd::V},    {11, 0x40, Lcd::A},    {11, 0x20, Lcd::Ohm},
    {11, 0x08, Lcd::Hz},   {11, 0x04, Lcd::F},    {11, 0x02, Lcd::CS},
    {11, 0x01, Lcd::FS},
}};

constexpr StatusBit kAutoRangeBit{8, 0x20, Lcd::Auto};
constexpr StatusBit kContinuityBit{10, 0x08, Lcd::Fm};
constexpr std::uint8_t kFlag97Byte = 9;     // unnamed flag that selects a 6-unit range
constexpr std::uint8_t kFlag97Mask = 0x80;

}  // namespace meterlink
