#include "links/victor_report_descrambler.h"

namespace meterlink {

namespace {

// Byte i of the report is raised by kKey[i] and belongs at kPlace[i].
constexpr char kKey[kVictorReportBytes + 1] = "jodenxunickxia";
constexpr std::array<std::uint8_t, kVictorReportBytes> kPlace{6, 13, 5, 11, 2, 7, 9, 8, 3, 10, 12, 0, 4, 1};

}  // namespace

VictorReport descrambleVictorReport(const VictorReport& wire) {
    VictorReport plain{};
    for (std::size_t i = 0; i < kVictorReportBytes; ++i)
        plain[kPlace[i]] = static_cast<std::uint8_t>(wire[i] - static_cast<std::uint8_t>(kKey[i]));
    return plain;
}

VictorReport scrambleVictorReport(const VictorReport& plain) {
    VictorReport wire{};
    for (std::size_t i = 0; i < kVictorReportBytes; ++i)
        wire[i] = static_cast<std::uint8_t>(plain[kPlace[i]] + static_cast<std::uint8_t>(kKey[i]));
    return wire;
}

bool VictorReportDescrambler::feed(const std::uint8_t* data, std::size_t size, std::size_t& used) {
    used = 0;
    while (used < size) {
        wire_[have_++] = data[used++];
        if (have_ == kVictorReportBytes) {
            have_ = 0;
            plain_ = descrambleVictorReport(wire_);
            return true;
        }
    }
    return false;
}

}  // namespace meterlink
