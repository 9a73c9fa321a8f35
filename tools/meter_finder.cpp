#include "meter_finder.h"

#include "detect_plan.h"
#include "links/hid_platform.h"
#include "links/hid_platform_factory.h"
#include "links/usb_cable_ids.h"

#include <QSerialPortInfo>
#include <QTimer>

namespace meterlink {

MeterFinder::MeterFinder(Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {}

MeterFinder::~MeterFinder() = default;

QStringList MeterFinder::systemPortPaths() {
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) paths << info.systemLocation();
    return paths;
}

std::vector<FoundMeter> MeterFinder::findUsbCables(HidPlatform& hid) {
    std::vector<FoundMeter> found;
    for (const THidPnPInfo& info : hid.listInterfaces()) {
        const std::unique_ptr<HidHandle> query = hid.open(info, HidAccess::QueryOnly);
        HidAttributes attributes;
        if (!query || !query->getAttributes(attributes)) continue;
        const UsbCableId* id = findUsbCable(attributes.VendorID, attributes.ProductID);
        if (!id) continue;
        FoundMeter cable;
        cable.status = FoundMeter::Status::Found;
        cable.port = QString::fromStdString(info.DevicePath);
        cable.cable = id->cable;
        cable.bridge = QString::fromUtf8(id->bridge.data(), static_cast<qsizetype>(id->bridge.size()));
        cable.usbId = QStringLiteral("%1:%2")
                          .arg(attributes.VendorID, 4, 16, QLatin1Char('0'))
                          .arg(attributes.ProductID, 4, 16, QLatin1Char('0'));
        cable.candidates = cableCandidates(meterTable(), id->cable);
        // A cable the user may not open is found but of no use yet: say why.
        std::uint32_t error = 0;
        if (!hid.open(info, HidAccess::ReadWrite, &error))
            cable.trouble = QStringLiteral("cannot be opened (%1): install the udev rules that let the logged-in "
                                           "user use meter cables")
                                .arg(hid.errorText(error));
        found.push_back(std::move(cable));
    }
    return found;
}

void MeterFinder::start() {
    if (options_.usb) {
        std::shared_ptr<HidPlatform> hid = options_.hid ? options_.hid : createHidPlatform();
        if (hid) usb_ = findUsbCables(*hid);
    }
    QStringList ports = options_.ports;
    if (options_.systemPorts)
        for (const QString& p : systemPortPaths())
            if (!ports.contains(p)) ports << p;
    for (const QString& port : ports) {
        auto* prober = new PortProber(port, options_.timing, options_.decimalSep, this);
        connect(prober, &PortProber::progress, this, &MeterFinder::progress);
        connect(prober, &PortProber::finished, this, &MeterFinder::proberDone, Qt::QueuedConnection);
        probers_.push_back(prober);
    }
    for (PortProber* prober : probers_) prober->start();
    if (probers_.empty()) QTimer::singleShot(0, this, &MeterFinder::proberDone);
}

void MeterFinder::cancel() {
    for (PortProber* prober : probers_) prober->cancel();
}

std::vector<FoundMeter> MeterFinder::results() const {
    std::vector<FoundMeter> all = usb_;
    for (const PortProber* prober : probers_)
        if (prober->done()) all.push_back(prober->result());
    return all;
}

void MeterFinder::proberDone() {
    if (finished_) return;
    for (const PortProber* prober : probers_)
        if (!prober->done()) return;
    finished_ = true;
    emit finished();
}

}  // namespace meterlink
