#include "links/usb_device_list.h"

#include "links/hid_device_controller.h"

QString UsbDeviceList::DeviceCaption(THidDevice* HidDev) {
    QString caption = HidDev->ProductText();
    if (caption.isEmpty())
        caption = QString::asprintf("Device VID=%04X PID=%04X", HidDev->Attributes().VendorID,
                                    HidDev->Attributes().ProductID);
    const QString serial = HidDev->SerialText();
    if (!serial.isEmpty()) caption += QStringLiteral(" (Serial=%1)").arg(serial);
    return caption;
}

void UsbDeviceList::HidCtlDeviceChange() {
    ReadBtnClick();
    active_ = nullptr;
    selected_ = -1;
    entries_.clear();   // checks every device back in, which also stops its reading
    if (!controller_) return;
    controller_->EnumerateDevices();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].caption == cableCaption()) selected_ = static_cast<int>(i);
}

bool UsbDeviceList::HidCtlEnumerate(THidDevice* HidDev, int Idx) {
    Entry entry;
    entry.caption = DeviceCaption(HidDev);
    entry.device = controller_->CheckOutDevice(Idx);
    entries_.push_back(std::move(entry));
    return true;
}

void UsbDeviceList::HidCtlArrival(THidDevice* HidDev) {
    history_.append(HidHistory::arrivalLine(DeviceCaption(HidDev)));
}

void UsbDeviceList::HidCtlRemoval(THidDevice* HidDev) {
    history_.append(HidHistory::removalLine(DeviceCaption(HidDev)));
}

void UsbDeviceList::HidCtlDeviceDataError(THidDevice*, std::uint32_t Error) {
    const QString message = controller_ && controller_->Platform() ? controller_->Platform()->errorText(Error) : QString();
    history_.append(HidHistory::readErrorLine(message, Error));
}

void UsbDeviceList::ReadBtnClick() {
    active_ = selectedDevice();
    if (active_ && active_->ReadWriteAccess()) active_->SetDataHandler(nullptr);
}

THidDevice* UsbDeviceList::selectedDevice() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(entries_.size())) return nullptr;
    return entries_[static_cast<std::size_t>(selected_)].device.get();
}

THidDevice* UsbDeviceList::selectDevice(const std::string& devInst) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        THidDevice* device = entries_[i].device.get();
        if (device && device->PnPInfo().DevInst == devInst && entries_[i].caption == cableCaption()) {
            selected_ = static_cast<int>(i);
            return device;
        }
    }
    return nullptr;
}
