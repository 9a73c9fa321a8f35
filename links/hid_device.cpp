#include "links/hid_device.h"

#include "links/hid_device_controller.h"
#include "links/hid_device_read_thread.h"

#include <utility>

THidDevice::THidDevice(THidPnPInfo info, THidDeviceController* controller, std::shared_ptr<HidPlatform> platform)
    : platform_(std::move(platform)), controller_(controller), pnp_(std::move(info)) {
    if (controller_) {
        SetDataHandler(controller_->OnDeviceData());   // starts nothing: not checked out
        dataErrorHandler_ = controller_->OnDeviceDataError();
        unplugHandler_ = controller_->OnDeviceUnplug();
    }
    if (!openQueryHandle())
        throw EControllerError("device cannot be opened");
    const bool identified = queryHandle_->getAttributes(attributes_);
    closeQueryHandle();
    if (!identified)
        throw EControllerError("device cannot be identified");
}

THidDevice::~THidDevice() {
    const THidDataEvent data = dataHandler_;
    const THidPlugEvent unplug = unplugHandler_;
    SetDataHandler(nullptr);
    unplugHandler_ = nullptr;
    closeQueryHandle();

    if (!controller_) return;
    const int i = controller_->indexOf(this);
    if (i < 0) return;
    if (!pluggedIn_) {
        controller_->removeAt(i);
        return;
    }
    // The controller keeps a fresh, checked-in object for the same interface.
    // One that cannot be opened any more is just vanishing: its place goes.
    std::unique_ptr<THidDevice> replacement;
    try {
        replacement = std::make_unique<THidDevice>(pnp_, controller_, platform_);
    } catch (const EControllerError&) {
        controller_->removeAt(i);
        return;
    }
    replacement->SetDataHandler(data);
    replacement->unplugHandler_ = unplug;
    replacement->sleepSlice_ = sleepSlice_;
    controller_->replaceAt(i, replacement.release());
}

bool THidDevice::openQueryHandle() {
    if (queryHandle_) return true;
    queryHandle_ = platform_->open(pnp_, HidAccess::ReadWrite);
    readWriteAccess_ = queryHandle_ != nullptr;
    if (!queryHandle_) queryHandle_ = platform_->open(pnp_, HidAccess::QueryOnly);
    return queryHandle_ != nullptr;
}

QString THidDevice::ProductText() {
    if (productText_.isEmpty() && gateOpen() && openQueryHandle()) {
        std::u16string text;
        if (queryHandle_->getProductString(text, kStringChars))
            productText_ = QString::fromStdU16String(text.substr(0, text.find(u'\0')));
        closeQueryHandle();
    }
    return productText_;
}

QString THidDevice::SerialText() {
    if (serialText_.isEmpty() && gateOpen() && openQueryHandle()) {
        std::u16string serial;
        if (queryHandle_->getSerialNumberString(serial, kStringChars)) {
            serial = serial.substr(0, serial.find(u'\0'));
            bool accepted = true;
            if (platform_->serialMayBeLanguageList()) {
                std::vector<std::uint16_t> languages(kStringChars, 0xFFFF);
                queryHandle_->getLanguageList(languages);   // what it fills is what counts
                accepted = serialDiffersFromLanguageList(serial, languages);
            }
            if (accepted) serialText_ = QString::fromStdU16String(serial);
        }
        closeQueryHandle();
    }
    return serialText_;
}

bool THidDevice::serialDiffersFromLanguageList(const std::u16string& serial,
                                               const std::vector<std::uint16_t>& words) {
    std::size_t length = 0;
    for (std::size_t i = words.size(); i-- > 0;) {
        if (words[i] == 0xFFFF) continue;
        length = words[i] == 0 ? i : i + 1;
        break;
    }
    for (std::size_t k = 0; k < length; ++k) {
        const std::uint16_t s = k < serial.size() ? static_cast<std::uint16_t>(serial[k]) : 0;
        if (s != words[k]) return true;
    }
    return false;
}

std::size_t THidDevice::InputReportByteLength() {
    if (!capsRead_ && gateOpen()) {
        const bool wasOpen = queryHandle_ != nullptr;
        if (openQueryHandle()) {
            inputReportLength_ = queryHandle_->inputReportLength();
            capsRead_ = true;
            if (!wasOpen) closeQueryHandle();
        }
    }
    return inputReportLength_;
}

void THidDevice::SetSleepSlice(int ms) {
    if (ms < kMinSleepSlice || ms > kMaxSleepSlice) return;
    sleepSlice_ = ms;
    if (readThread_) readThread_->setSleepSlice(ms);
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
    if (!handler) stopReading();
    dataHandler_ = std::move(handler);
    startReading();
}

void THidDevice::startReading() {
    if (!dataHandler_ || !pluggedIn_ || !checkedOut_ || !readWriteAccess_ || readThread_) return;
    // Without a known length, room for the largest full-speed report and its ID.
    const std::size_t length = InputReportByteLength() > 0 ? InputReportByteLength() : 65;
    readThread_ = std::make_unique<THidDeviceReadThread>(
        platform_, pnp_, length, sleepSlice_,
        [this](std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size) {
            // The handler of the moment, held for the call: a handler may
            // replace or clear itself, or let its device go.
            const THidDataEvent handler = dataHandler_;
            if (handler) handler(this, reportId, data, size);
        },
        [this](std::uint32_t error) {
            const THidDataErrorEvent handler = dataErrorHandler_;
            if (handler) handler(this, error);
        },
        quietReports_);
}

void THidDevice::stopReading() {
    readThread_.reset();
}

bool THidDevice::SendFeatureReport(const std::uint8_t* data, std::size_t size) {
    if (!gateOpen() || !openQueryHandle()) return false;
    return queryHandle_->sendFeatureReport(data, size);
}

void THidDevice::Unplug() {
    stopReading();
    closeQueryHandle();
    pluggedIn_ = false;
    if (unplugHandler_) {
        const THidPlugEvent handler = std::move(unplugHandler_);
        unplugHandler_ = nullptr;
        handler(this);
    }
}
