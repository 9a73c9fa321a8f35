#pragma once
// The USB ids of the HID cables meters are sold with: how a plugged-in cable
// is recognised without asking the user which one it is.

#include "meter_table.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace meterlink {

struct UsbCableId {
    std::uint16_t vendorId;
    std::uint16_t productId;
    Cable cable;
    std::string_view bridge;   // the chip inside, as its datasheet names it
};

inline constexpr std::array<UsbCableId, 6> kUsbCableIds{{
    {0x1a86, 0xe008, Cable::UtD04, "CH9325"},
    {0x04fa, 0x2490, Cable::UtD04, "HE2325U"},
    {0x10c4, 0xea80, Cable::UtD09, "CP2110"},
    {0x1a86, 0xe429, Cable::UtD09, "CH9329"},
    {0x1244, 0xd237, Cable::Victor, "Victor"},
    {0x0820, 0x0001, Cable::BrymenBu86x, "BU-86X"},
}};

// The cable with this id, or nullptr when no meter cable has it.
inline const UsbCableId* findUsbCable(std::uint16_t vendorId, std::uint16_t productId) {
    for (const auto& id : kUsbCableIds)
        if (id.vendorId == vendorId && id.productId == productId) return &id;
    return nullptr;
}

}  // namespace meterlink
