#pragma once
// Keeps the list of the HID interfaces present, tells its client when they
// come and go, lets it enumerate them, check them out and give them back
// (by destroying them). At most one controller exists in a program.

#include "links/hid_device.h"
#include "links/hid_events.h"
#include "links/hid_platform.h"

#include <QString>

#include <memory>
#include <vector>

class THidDeviceController {
public:
    static constexpr const char* kVersion = "1.0.22";

    // Lists the devices present and starts watching for changes. A null
    // platform lists nothing and watches nothing. Throws EControllerError
    // "Only one THidDeviceController allowed per program" when another
    // controller exists.
    explicit THidDeviceController(std::shared_ptr<HidPlatform> platform);
    ~THidDeviceController();
    THidDeviceController(const THidDeviceController&) = delete;
    THidDeviceController& operator=(const THidDeviceController&) = delete;

    QString Version() const { return QString::fromLatin1(kVersion); }
    HidPlatform* Platform() const { return platform_.get(); }

    // In list order: the order of the first listing, later arrivals appended.
    const std::vector<THidDevice*>& DeviceList() const { return DeviceList_; }
    bool ChangeEventFired() const { return ChangeEventFired_; }

    // Reconciles the list with the interfaces present: removals (last to
    // first), then arrivals, then OnDeviceChange when anything changed.
    void DeviceChange();
    // Offers every plugged-in device to OnEnumerate; returns how many were offered.
    int EnumerateDevices();
    // The device at Idx, now held by the caller; destroying it checks it back
    // in. Null when Idx is outside the list or the device is already out.
    std::unique_ptr<THidDevice> CheckOutDevice(int Idx);

    int DevThreadSleepTime() const { return DevThreadSleepTime_; }
    void SetDevThreadSleepTime(int ms);

    const THidPlugEvent& OnArrival() const { return OnArrival_; }
    void SetOnArrival(THidPlugEvent h) { OnArrival_ = std::move(h); }
    const THidPlugEvent& OnRemoval() const { return OnRemoval_; }
    void SetOnRemoval(THidPlugEvent h) { OnRemoval_ = std::move(h); }
    const THidEnumerateEvent& OnEnumerate() const { return OnEnumerate_; }
    void SetOnEnumerate(THidEnumerateEvent h) { OnEnumerate_ = std::move(h); }
    const TNotifyEvent& OnDeviceChange() const { return OnDeviceChange_; }
    // A new handler is raised at once: binding it builds the client's list.
    void SetOnDeviceChange(TNotifyEvent h);
    const THidDataEvent& OnDeviceData() const { return OnDeviceData_; }
    void SetOnDeviceData(THidDataEvent h);
    const THidDataErrorEvent& OnDeviceDataError() const { return OnDeviceDataError_; }
    void SetOnDeviceDataError(THidDataErrorEvent h);
    const THidPlugEvent& OnDeviceUnplug() const { return OnDeviceUnplug_; }
    void SetOnDeviceUnplug(THidPlugEvent h);

private:
    friend class THidDevice;

    // New device objects for the interfaces present; DeviceList is not touched.
    std::vector<std::unique_ptr<THidDevice>> listDevices();
    bool listedPluggedIn(const std::string& devInst) const;
    // Raises a plug event with the device's access gate open for the call.
    void raiseWithGate(const THidPlugEvent& event, THidDevice* device);
    int indexOf(const THidDevice* device) const;
    void removeAt(int i);
    void replaceAt(int i, THidDevice* device);

    std::shared_ptr<HidPlatform> platform_;
    std::unique_ptr<HidChangeWatch> watch_;
    std::vector<THidDevice*> DeviceList_;   // owns the devices that are not checked out
    bool ChangeEventFired_ = false;
    int DevThreadSleepTime_ = THidDevice::kDefaultSleepSlice;
    bool counted_ = false;

    THidPlugEvent OnArrival_;
    THidPlugEvent OnRemoval_;
    THidPlugEvent OnDeviceUnplug_;
    THidEnumerateEvent OnEnumerate_;
    TNotifyEvent OnDeviceChange_;
    THidDataEvent OnDeviceData_;
    THidDataErrorEvent OnDeviceDataError_;
};
