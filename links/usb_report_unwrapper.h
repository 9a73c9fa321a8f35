#pragma once
// The meter's USB cable wraps the meter's serial bytes in input reports: a
// count byte whose low four bits give n, then n meter bytes (n from 1 to 9).
// Any other report is idle. The bytes between two idle reports are one
// frame. This class unwraps the reports, counts idle ones for the watchdog
// and, at each idle report after data, flushes the accumulation by the rule
// of the model's handler. Plain C++, no Qt.

#include "protocol/meter_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class UsbReportUnwrapper {
public:
    // The accumulation keeps its first 64 bytes and counts the rest: only the
    // first frame of a burst is ever used, and an adapter that never sends
    // an idle report must not grow it without end.
    static constexpr std::size_t kMaxAccumBytes = 64;
    // Idle reports in a row after which the meter counts as not sending.
    static constexpr int kWatchdogIdleReports = 1900;

    enum class Report { Data, Idle, Empty };

    using FrameHandler = std::function<void(const meterlink::MeterFrame&)>;
    explicit UsbReportUnwrapper(FrameHandler onFrame = {}) : onFrame_(std::move(onFrame)) {}

    // The three handlers, by model; data holds the report's bytes after its ID.
    // USBReadKR20C hands the first frame of a burst of the right shape to the
    // frame handler; the other two only leave their frame text.
    Report USBReadKR20C(const std::uint8_t* data, std::size_t size);
    Report USBReadKR10A(const std::uint8_t* data, std::size_t size);
    Report USBReadKR30B(const std::uint8_t* data, std::size_t size);

    // A report that only counts for the watchdog once the report before it
    // was quiet too: idle, or empty. The first one after meter bytes flushes
    // the frame; the read thread may hold back any other report.
    static bool isQuietReport(const std::uint8_t* data, std::uint16_t size);

    int UsbIdleCount() const { return idleCount_; }
    void resetIdleCount() { idleCount_ = 0; }
    bool watchdogDue() const { return idleCount_ >= kWatchdogIdleReports; }
    bool UsbBytesPending() const { return pending_; }
    // The accumulation as upper-case hex pairs, and the bytes beyond its limit.
    std::string UsbHexAccum() const;
    std::size_t droppedBytes() const { return dropped_; }
    // Bursts USBReadKR20C dropped for their shape.
    std::size_t rejectedCount() const { return rejected_; }
    // The last flushed frame text.
    const std::string& FrameText() const { return frameText_; }

private:
    enum class Flush { KR20C, KR10A, KR30B };
    Report unwrap(const std::uint8_t* data, std::size_t size, Flush flush);
    void flush(Flush rule);
    std::string lowDigits(std::size_t count) const;

    FrameHandler onFrame_;
    std::array<std::uint8_t, kMaxAccumBytes> accum_{};
    std::size_t kept_ = 0;
    std::size_t dropped_ = 0;
    std::size_t rejected_ = 0;
    bool pending_ = false;
    int idleCount_ = 0;
    std::string frameText_;
};

// The 10-byte feature report that sets the adapter's serial speed: report
// ID 0, the baud rate in four bytes, low byte first, then 3 and four zeros.
std::array<std::uint8_t, 10> adapterFeatureReport(std::uint32_t baud);
