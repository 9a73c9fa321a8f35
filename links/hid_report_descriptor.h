#pragma once
// What the read side needs from a HID report descriptor: whether the device
// numbers its reports, and the length of its longest input report. Plain C++.

#include <cstddef>
#include <cstdint>

struct HidInputReportLayout {
    bool numbered = false;        // any Report ID item
    std::size_t inputLength = 0;  // longest input report in bytes, report ID byte included; 0 none
};

// Walks the descriptor's items (short and long); a truncated item ends the walk.
HidInputReportLayout parseInputReportLayout(const std::uint8_t* descriptor, std::size_t size);
