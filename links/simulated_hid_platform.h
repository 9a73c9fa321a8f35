#pragma once
// HID interfaces simulated inside the process, for tests: plug and unplug
// devices, feed input reports to every open read handle, and see the feature
// reports that were sent. Reports may be fed from any thread.

#include "links/hid_platform.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SimulatedHidPlatform : public HidPlatform {
public:
    struct Device {
        std::string identity;   // the DevInst; the path is "sim/" followed by it
        HidAttributes attributes;
        std::u16string product;
        std::u16string serial;
        std::vector<std::uint16_t> languages{0x0409};
        bool languagesReadable = true;
        std::size_t inputReportLength = 9;
        bool opens = true;          // false: cannot be opened at all
        bool readWrite = true;      // false: can be opened for queries only
        bool readable = true;       // false: a read handle cannot be opened
        bool identifiable = true;   // false: its attributes cannot be read
        bool acceptsFeatures = true;
        // What the device does with a feature report (false: refuses it) and
        // with an output report; called on the sender's thread, outside the
        // platform's lock, so they may send reports back.
        std::function<bool(const std::uint8_t* data, std::size_t size)> onFeature;
        std::function<void(const std::uint8_t* data, std::size_t size)> onOutput;
    };

    // The meter's cable: "USB to Serial", no serial number, 9-byte input reports.
    static Device cable(std::string identity);

    SimulatedHidPlatform();
    ~SimulatedHidPlatform() override;

    // Plugs a device in, or takes it away; watchers hear of it from the event loop.
    void plug(Device device);
    void unplug(const std::string& identity);
    // Queues one input report (report ID first) for every open read handle.
    void sendReport(const std::string& identity, const std::vector<std::uint8_t>& report);
    std::vector<std::vector<std::uint8_t>> featureReports(const std::string& identity) const;
    // Open read handles of the device: how a test sees that reading runs.
    int readers(const std::string& identity) const;
    // Reports queued for the device's read handles and not yet read.
    int queuedReports(const std::string& identity) const;
    void setSerialMayBeLanguageList(bool v) { serialMayBeLanguageList_ = v; }

    QString name() const override;
    std::vector<THidPnPInfo> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, HidAccess access, std::uint32_t* error) override;
    std::unique_ptr<HidChangeWatch> watchChanges(std::function<void()> onChange) override;
    bool serialMayBeLanguageList() const override { return serialMayBeLanguageList_; }

private:
    class Handle;
    class Watch;
    struct Queue {
        std::deque<std::vector<std::uint8_t>> reports;
        bool gone = false;
    };
    struct Slot {
        Device device;
        std::vector<std::vector<std::uint8_t>> features;
        std::vector<std::shared_ptr<Queue>> readers;
    };

    void notifyWatchers();

    // Shared with the handles, which may outlive a device's slot.
    struct Shared {
        std::mutex mutex;
        std::condition_variable reportQueued;
        std::map<std::string, Slot> devices;
        std::vector<std::string> order;
    };
    std::shared_ptr<Shared> shared_;
    std::vector<std::pair<int, std::function<void()>>> watchers_;
    int nextWatcher_ = 0;
    std::shared_ptr<bool> alive_;
    bool serialMayBeLanguageList_ = true;
};
