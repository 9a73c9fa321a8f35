#pragma once
// The Victor USB cable (and the 70C's own USB chip) hides each 14-byte
// reading: every byte is raised by one letter of a fixed key and the bytes
// are sent in a shuffled order. Undoing that is the link's business; what
// comes out is the meter's plain 14 bytes for the decoder.

#include <array>
#include <cstddef>
#include <cstdint>

namespace meterlink {

constexpr std::size_t kVictorReportBytes = 14;
using VictorReport = std::array<std::uint8_t, kVictorReportBytes>;

// The plain bytes of a report as the cable sends it.
VictorReport descrambleVictorReport(const VictorReport& wire);
// The report the cable sends for plain bytes: the simulated cable's half.
VictorReport scrambleVictorReport(const VictorReport& plain);

// Takes the cable's input reports (split anywhere, as a HID read may hand
// them) and hands on each whole descrambled reading.
class VictorReportDescrambler {
public:
    // Returns true when a reading was completed; plain() then holds it.
    bool feed(const std::uint8_t* data, std::size_t size, std::size_t& used);
    const VictorReport& plain() const { return plain_; }
    // Starts afresh: a cable opened again, a read that failed mid-report.
    void reset() { have_ = 0; }

private:
    VictorReport wire_{};
    VictorReport plain_{};
    std::size_t have_ = 0;
};

}  // namespace meterlink
