#include "usb_meter_source.h"

#include "log_session.h"

#include "links/hid_device_controller.h"
#include "links/usb_report_bytes.h"
#include "links/usb_device_list.h"

UsbMeterSource::UsbMeterSource(meterlink::LogSession& session, std::shared_ptr<HidPlatform> platform,
                               std::uint32_t adapterBaud, QObject* parent)
    : MeterSource(parent),
      session_(session),
      platform_(std::move(platform)),
      adapterBaud_(adapterBaud),
      unwrapper_([this](const meterlink::MeterFrame& f) { frame(f); }) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &UsbMeterSource::retry);
}

UsbMeterSource::~UsbMeterSource() {
    // As the window: the controller unplugs the devices the list still holds,
    // then the list lets them go.
    controller_.reset();
    devices_.reset();
}

bool UsbMeterSource::open(QString& error) {
    try {
        controller_ = std::make_unique<THidDeviceController>(platform_);
    } catch (const EControllerError& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
    devices_ = std::make_unique<UsbDeviceList>(controller_.get());
    controller_->SetOnEnumerate([this](THidDevice* d, int i) { return devices_->HidCtlEnumerate(d, i); });
    controller_->SetOnDeviceDataError([this](THidDevice* d, std::uint32_t e) {
        if (d == cable_) readFailed(e);
    });
    // Bound last: binding it builds the device list at once.
    controller_->SetOnDeviceChange([this](THidDeviceController*) {
        devices_->HidCtlDeviceChange();
        deviceChanged();
    });
    if (!cable_) {
        const THidDevice* selected = devices_->selectedDevice();
        error = selected ? QStringLiteral("the USB cable (\"%1\") cannot be opened for reading; check its "
                                          "permissions (see the udev rule)")
                               .arg(UsbDeviceList::cableCaption())
                         : QStringLiteral("no USB cable (\"%1\") found").arg(UsbDeviceList::cableCaption());
        return false;
    }
    started_ = true;
    return true;
}

void UsbMeterSource::deviceChanged() {
    // The rebuild checked every device in again, the cable read before too.
    cable_ = nullptr;
    if (openSelectedCable() || !started_) return;
    lose(QStringLiteral("the cable is gone"));
}

bool UsbMeterSource::openSelectedCable() {
    THidDevice* cable = devices_->selectedDevice();
    if (!cable || !cable->ReadWriteAccess()) return false;
    devices_->setActiveHidDev(cable);
    const auto feature = adapterFeatureReport(adapterBaud_);
    // A refusal shows as missing data, as in the window.
    cable->SendFeatureReport(feature.data(), feature.size());
    unwrapper_.resetIdleCount();
    // Only the idle report that ends a frame shows anything: the cable is
    // read at a pace and the other reports come a few at a time.
    cable->SetQuietReports(&UsbReportUnwrapper::isQuietReport);
    cable->SetDataHandler([this](THidDevice*, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
        report(data, size);
    });
    cable_ = cable;
    ++openings_;
    return true;
}

void UsbMeterSource::report(const std::uint8_t* data, std::uint16_t size) {
    if (lost_) {
        lost_ = false;
        retry_.stop();
        emit returned();
    }
    unwrapper_.USBReadKR20C(data, size);
    const UsbReportBytes bytes = usbReportBytes(data, size, sevenBitLine_);
    if (bytes.size > 0) {
        if (streamBytes_) {
            silent_ = false;
            session_.feed(bytes.data(), bytes.size);
        } else {
            session_.meterBytesArrived(bytes.size);
        }
    }
    if (unwrapper_.watchdogDue() && !silent_) {
        silent_ = true;
        emit notice(QStringLiteral("the USB cable is connected but the meter sends nothing: is it on?"));
    }
}

void UsbMeterSource::frame(const meterlink::MeterFrame& f) {
    if (streamBytes_) return;
    silent_ = false;
    session_.feedFrame(f);
}

void UsbMeterSource::readFailed(std::uint32_t error) {
    const QString reason = platform_->errorText(error);
    // Not from inside the read thread's hand-over: letting go of the device
    // there would stop the thread that is waiting for this call. By then the
    // cable may have been opened afresh; a failure of the old one is stale.
    QMetaObject::invokeMethod(
        this, [this, reason, opening = openings_] { if (opening == openings_) lose(reason); }, Qt::QueuedConnection);
}

void UsbMeterSource::lose(const QString& reason) {
    if (cable_) {
        cable_->SetDataHandler(nullptr);
        cable_ = nullptr;
    }
    if (!retry_.isActive()) retry_.start();
    if (lost_) return;
    lost_ = true;
    emit lost(reason.isEmpty() ? QStringLiteral("read error") : reason);
}

void UsbMeterSource::retry() {
    // A rescan finds a cable that came back (and rebuilds the list, which
    // opens it); one that stayed listed is opened again here.
    controller_->DeviceChange();
    if (!cable_) openSelectedCable();
}
