#pragma once
// The read thread of a HID device: waits for input reports in slices of
// SleepSlice ms and hands each report, and each read error, to the GUI
// thread, blocking until the handler there has returned. Destroying it stops
// it; that takes at most one slice and never waits on a hand-over.
//
// Quiet reports: a device that reports all the time whether or not it has
// anything to say (the meter's cable sends about a hundred reports a second,
// a frame's bytes spread over several of them) would wake the GUI thread for
// each. When the owner names which reports are quiet, only the quiet report
// that ends a burst of others goes at once; any other report may wait, up to
// kQuietWaitMs or kQuietBatch reports, and go with the next hand-over: every
// report still reaches the handler, in order, one call each. Such a device
// is also read at a pace: whenever the thread has read all the system holds
// it pauses kPaceMs (or the slice, if shorter) and then reads what queued
// meanwhile in one go. A frame is shown at most that much later, as on the
// serial link with its 100 ms poll. Between a meter's frames (three a second)
// the quiet reports wait for the frame's end, so the GUI thread wakes once a
// frame, and about once a second while the meter is silent.

#include "links/hid_platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class THidDeviceReadThread {
public:
    // Called on the GUI thread; data is valid during the call only.
    using ReportSink = std::function<void(std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size)>;
    using ErrorSink = std::function<void(std::uint32_t error)>;
    // Called on the read thread: must depend on the report alone.
    using QuietReport = bool (*)(const std::uint8_t* data, std::uint16_t size);

    static constexpr int kQuietWaitMs = 1000;
    static constexpr std::size_t kQuietBatch = 128;
    static constexpr int kPaceMs = 100;

    // Starts reading at once, with a report buffer of reportLength bytes.
    THidDeviceReadThread(std::shared_ptr<HidPlatform> platform, THidPnPInfo info, std::size_t reportLength,
                         int sleepSlice, ReportSink onReport, ErrorSink onError, QuietReport quiet = nullptr);
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    // Takes effect at the next wait.
    void setSleepSlice(int ms);

private:
    struct Loop;
    std::shared_ptr<Loop> loop_;
};
