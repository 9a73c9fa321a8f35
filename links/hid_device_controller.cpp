#include "links/hid_device_controller.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> ControllerCount{0};

}  // namespace

THidDeviceController::THidDeviceController(std::shared_ptr<HidPlatform> platform) : platform_(std::move(platform)) {
    if (ControllerCount.fetch_add(1) + 1 > 1) {
        ControllerCount.fetch_sub(1);
        throw EControllerError("Only one THidDeviceController allowed per program");
    }
    counted_ = true;
    for (auto& device : listDevices())
        DeviceList_.push_back(device.release());
    if (platform_)
        watch_ = platform_->watchChanges([this] { DeviceChange(); });
}

THidDeviceController::~THidDeviceController() {
    if (counted_) ControllerCount.fetch_sub(1);
    OnDeviceChange_ = nullptr;
    OnDeviceUnplug_ = nullptr;
    OnEnumerate_ = nullptr;
    watch_.reset();
    const std::vector<THidDevice*> devices = std::move(DeviceList_);
    DeviceList_.clear();
    for (THidDevice* device : devices) {
        device->controller_ = nullptr;
        // A client still holds a checked-out device: it only stops working.
        if (device->CheckedOut()) device->Unplug();
        else delete device;
    }
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::listDevices() {
    std::vector<std::unique_ptr<THidDevice>> devices;
    if (!platform_) return devices;
    for (const THidPnPInfo& info : platform_->listInterfaces()) {
        try {
            devices.push_back(std::make_unique<THidDevice>(info, this, platform_));
        } catch (const EControllerError&) {
            // Cannot be opened or identified: not listed.
        }
    }
    return devices;
}

bool THidDeviceController::listedPluggedIn(const std::string& devInst) const {
    return std::any_of(DeviceList_.begin(), DeviceList_.end(), [&](const THidDevice* d) {
        return d->PluggedIn() && d->PnPInfo().DevInst == devInst;
    });
}

void THidDeviceController::raiseWithGate(const THidPlugEvent& event, THidDevice* device) {
    if (!event) return;
    device->inEnumeration_ = true;
    event(device);
    device->inEnumeration_ = false;
}

void THidDeviceController::DeviceChange() {
    std::vector<std::unique_ptr<THidDevice>> fresh = listDevices();
    bool changed = false;

    for (std::size_t i = DeviceList_.size(); i-- > 0;) {
        if (i >= DeviceList_.size()) continue;   // a handler shortened the list
        THidDevice* device = DeviceList_[i];
        const bool present = std::any_of(fresh.begin(), fresh.end(), [&](const auto& n) {
            return n->PnPInfo().DevInst == device->PnPInfo().DevInst;
        });
        if (present && device->PluggedIn()) continue;
        device->Unplug();
        raiseWithGate(OnRemoval_, device);
        // Its destruction takes it out of the list; a held one stays until its client lets go.
        if (!device->CheckedOut()) delete device;
        changed = true;
    }

    // Interfaces already listed are duplicates; they are in no list, so
    // destroying them touches none.
    fresh.erase(std::remove_if(fresh.begin(), fresh.end(),
                               [&](const auto& n) { return listedPluggedIn(n->PnPInfo().DevInst); }),
                fresh.end());
    for (auto& arrival : fresh) {
        THidDevice* device = arrival.release();
        DeviceList_.push_back(device);
        changed = true;
        raiseWithGate(OnArrival_, device);
    }

    if ((changed || !ChangeEventFired_) && OnDeviceChange_) OnDeviceChange_(this);
}

int THidDeviceController::EnumerateDevices() {
    int count = 0;
    for (std::size_t i = 0; i < DeviceList_.size(); ++i) {
        THidDevice* device = DeviceList_[i];
        if (!device->PluggedIn()) continue;
        ++count;
        if (!OnEnumerate_) break;
        device->inEnumeration_ = true;
        const bool goOn = OnEnumerate_(device, static_cast<int>(i));
        device->inEnumeration_ = false;
        if (!device->CheckedOut()) device->closeQueryHandle();
        if (!goOn) break;
    }
    return count;
}

std::unique_ptr<THidDevice> THidDeviceController::CheckOutDevice(int Idx) {
    if (Idx < 0 || static_cast<std::size_t>(Idx) >= DeviceList_.size()) return nullptr;
    THidDevice* device = DeviceList_[static_cast<std::size_t>(Idx)];
    if (device->CheckedOut()) return nullptr;
    device->checkedOut_ = true;
    device->startReading();
    return std::unique_ptr<THidDevice>(device);
}

void THidDeviceController::SetDevThreadSleepTime(int ms) {
    if (ms == DevThreadSleepTime_) return;
    for (THidDevice* device : DeviceList_)
        if (device->SleepSlice() == DevThreadSleepTime_) device->SetSleepSlice(ms);
    DevThreadSleepTime_ = ms;
}

void THidDeviceController::SetOnDeviceChange(TNotifyEvent h) {
    if (h == OnDeviceChange_) return;
    OnDeviceChange_ = std::move(h);
    DeviceChange();
    ChangeEventFired_ = true;
}

void THidDeviceController::SetOnDeviceData(THidDataEvent h) {
    if (h == OnDeviceData_) return;
    for (THidDevice* device : DeviceList_)
        if (device->DataHandler() == OnDeviceData_) device->SetDataHandler(h);
    OnDeviceData_ = std::move(h);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent h) {
    if (h == OnDeviceDataError_) return;
    for (THidDevice* device : DeviceList_)
        if (device->DataErrorHandler() == OnDeviceDataError_) device->SetDataErrorHandler(h);
    OnDeviceDataError_ = std::move(h);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent h) {
    if (h == OnDeviceUnplug_) return;
    for (THidDevice* device : DeviceList_)
        if (device->UnplugHandler() == OnDeviceUnplug_) device->SetUnplugHandler(h);
    OnDeviceUnplug_ = std::move(h);
}

int THidDeviceController::indexOf(const THidDevice* device) const {
    const auto it = std::find(DeviceList_.begin(), DeviceList_.end(), device);
    return it == DeviceList_.end() ? -1 : static_cast<int>(it - DeviceList_.begin());
}

void THidDeviceController::removeAt(int i) {
    DeviceList_.erase(DeviceList_.begin() + i);
}

void THidDeviceController::replaceAt(int i, THidDevice* device) {
    DeviceList_[static_cast<std::size_t>(i)] = device;
}
