#pragma once
// Builds the bytes each meter family sends for a reading described as the
// shipped meter's frame builder describes it (DisplaySpec): for tests,
// fuzzer seeds and the simulator's --meter.

#include "frame_builder.h"
#include "meter_table.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace meterlink {

// Room for a frame sent twice (ES51986: 2 x 11 bytes) and for a text
// answer with its acknowledgement line.
constexpr std::size_t kMaxFamilyFrameBytes = 64;
struct FamilyFrame {
    std::array<std::uint8_t, kMaxFamilyFrameBytes> bytes{};
    std::size_t size = 0;   // 0: the model cannot show this reading
};

// The frame the model sends for the reading. On five-place meters the count
// keeps its digits and the decimal mark moves one place right (5.999 V is
// shown 05.999 on the 22 V range). A chip that sends each conversion twice
// gets both copies.
FamilyFrame encodeFamilyFrame(const MeterModel& model, const DisplaySpec& spec);

// The function and unit texts a decoder of the non-shipped families gives
// for the reading ("DC", "mV"; "k*"; "kHz").
const char* familyFunctionText(const DisplaySpec& spec);
const char* familyUnitText(const DisplaySpec& spec);

}  // namespace meterlink
