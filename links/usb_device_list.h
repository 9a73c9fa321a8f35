#pragma once
// The window's list of the HID devices present and its device history. The
// list holds one entry per plugged-in device, in the controller's order,
// with the device it checked out for it; the selected entry is the one the
// USB link uses: the last one captioned exactly "USB to Serial".

#include "links/hid_device.h"
#include "links/hid_history.h"

#include <QString>

#include <memory>
#include <vector>

class THidDeviceController;

class UsbDeviceList {
public:
    static QString cableCaption() { return QStringLiteral("USB to Serial"); }

    struct Entry {
        QString caption;
        std::unique_ptr<THidDevice> device;   // none when it could not be checked out
    };

    explicit UsbDeviceList(THidDeviceController* controller) : controller_(controller) {}
    UsbDeviceList(const UsbDeviceList&) = delete;
    UsbDeviceList& operator=(const UsbDeviceList&) = delete;

    // The product string, else "Device VID=%.4X PID=%.4X"; then " (Serial=%s)"
    // when the device has a serial number.
    static QString DeviceCaption(THidDevice* HidDev);

    // Handlers of the controller's events.
    void HidCtlDeviceChange();
    bool HidCtlEnumerate(THidDevice* HidDev, int Idx);
    void HidCtlArrival(THidDevice* HidDev);
    void HidCtlRemoval(THidDevice* HidDev);
    void HidCtlDeviceDataError(THidDevice* HidDev, std::uint32_t Error);
    // Takes the selected device as the active one and stops its reading.
    void ReadBtnClick();
    void ClearBtnClick() { history_.clear(); }

    const std::vector<Entry>& entries() const { return entries_; }
    int selectedIndex() const { return selected_; }
    // The selected entry's device; none without a selection or when the
    // selected entry holds no device.
    THidDevice* selectedDevice() const;
    // Selects the entry of the device with this identity and returns its
    // device; none, and the selection unchanged, when it is not listed.
    THidDevice* selectDevice(const std::string& devInst);
    THidDevice* ActiveHidDev() const { return active_; }
    void setActiveHidDev(THidDevice* device) { active_ = device; }
    HidHistory& history() { return history_; }
    const HidHistory& history() const { return history_; }

private:
    THidDeviceController* controller_;
    std::vector<Entry> entries_;
    int selected_ = -1;
    THidDevice* active_ = nullptr;   // one of the entries' devices, or none
    HidHistory history_;
};
