#pragma once
// The read thread of a HID device: waits for input reports in slices of
// SleepSlice ms and hands each report, and each read error, to the GUI
// thread, blocking until the handler there has returned. Destroying it stops
// it; that takes at most one slice and never waits on a hand-over.

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

    // Starts reading at once, with a report buffer of reportLength bytes.
    THidDeviceReadThread(std::shared_ptr<HidPlatform> platform, THidPnPInfo info, std::size_t reportLength,
                         int sleepSlice, ReportSink onReport, ErrorSink onError);
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    // Takes effect at the next wait.
    void setSleepSlice(int ms);

private:
    struct Loop;
    std::shared_ptr<Loop> loop_;
};
