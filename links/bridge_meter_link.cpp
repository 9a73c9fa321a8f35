#include "links/bridge_meter_link.h"

#include "links/hid_device_read_thread.h"

#include <QStringList>

#include <vector>

using meterlink::UartBridge;

namespace {

struct Candidate {
    THidPnPInfo info;
    UartBridge bridge;
};

std::vector<Candidate> bridgeCables(HidPlatform& platform) {
    std::vector<Candidate> found;
    for (const THidPnPInfo& info : platform.listInterfaces()) {
        auto h = platform.open(info, HidAccess::QueryOnly);
        HidAttributes a;
        UartBridge b;
        if (h && h->getAttributes(a) && meterlink::uartBridgeOf(a.VendorID, a.ProductID, b))
            found.push_back({info, b});
    }
    return found;
}

}  // namespace

BridgeMeterLink::BridgeMeterLink(std::shared_ptr<HidPlatform> platform, const meterlink::MeterModel& model,
                                 QObject* parent)
    : QObject(parent), platform_(std::move(platform)), model_(model) {
    poll_.setInterval(model.line.pollIntervalMs > 0 ? model.line.pollIntervalMs : 500);
    connect(&poll_, &QTimer::timeout, this, &BridgeMeterLink::poll);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &BridgeMeterLink::retry);
}

BridgeMeterLink::~BridgeMeterLink() { close(); }

QString BridgeMeterLink::cableText() const {
    return QStringLiteral("UT-D09 (%1)").arg(QString::fromLatin1(meterlink::uartBridgeName(bridge_).data(),
                                                                 static_cast<int>(meterlink::uartBridgeName(bridge_).size())));
}

bool BridgeMeterLink::open(QString& error, const QString& path) {
    path_ = path;
    std::vector<Candidate> cables = bridgeCables(*platform_);
    if (!path.isEmpty()) {
        std::vector<Candidate> named;
        for (const Candidate& c : cables)
            if (QString::fromStdString(c.info.DevicePath) == path) named.push_back(c);
        cables = named;
    }
    if (cables.empty()) {
        error = path.isEmpty()
                    ? QStringLiteral("no UT-D09 cable (CP2110 10c4:ea80 or CH9329 1a86:e429) is plugged in")
                    : QStringLiteral("no UT-D09 cable at %1").arg(path);
        return false;
    }
    if (cables.size() > 1) {
        QStringList paths;
        for (const Candidate& c : cables) paths << QString::fromStdString(c.info.DevicePath);
        error = QStringLiteral("%1 UT-D09 cables are plugged in (%2): name the meter's with its path")
                    .arg(cables.size())
                    .arg(paths.join(QStringLiteral(", ")));
        return false;
    }
    return openCable(cables.front().info, cables.front().bridge, error);
}

bool BridgeMeterLink::openCable(const THidPnPInfo& info, UartBridge bridge, QString& error) {
    dropCable();
    bridge_ = bridge;
    std::uint32_t code = 0;
    auto handle = platform_->open(info, HidAccess::ReadWrite, &code);
    if (!handle) {
        error = QStringLiteral("the %1 cable cannot be opened (%2); check its permissions (see the udev rule)")
                    .arg(cableText(), platform_->errorText(code));
        return false;
    }
    for (const meterlink::BridgeSetupStep& step : meterlink::bridgeSetup(bridge, model_.line)) {
        if (!handle->sendFeatureReport(step.bytes.data(), step.size)) {
            error = QStringLiteral("the cable's %1 refused to %2; unplug the cable and plug it in again")
                        .arg(QString::fromLatin1(meterlink::uartBridgeName(bridge).data()),
                             QString::fromLatin1(step.what.data(), static_cast<int>(step.what.size())));
            return false;
        }
    }
    handle_ = std::move(handle);
    const std::size_t reportLength =
        bridge == UartBridge::Cp2110 ? meterlink::kCp2110MaxReportBytes : meterlink::kCh9329ReportBytes;
    const unsigned opening = ++openings_;
    reader_ = std::make_unique<THidDeviceReadThread>(
        platform_, info, reportLength, 50,
        [this](std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
            const meterlink::BridgeBytes b = meterlink::unwrapBridgeReport(bridge_, id, data, size);
            if (b.valid && onBytes_) onBytes_(b.data, b.size);
        },
        [this, opening](std::uint32_t e) {
            // Not from inside the hand-over: dropping the reader there would
            // wait on the thread that waits for this call.
            QMetaObject::invokeMethod(
                this, [this, opening, e] { if (opening == openings_) readFailed(e); }, Qt::QueuedConnection);
        });
    unanswered_ = 0;
    retry_.stop();
    if (polling_) {
        poll_.start();
        poll();
    }
    return true;
}

void BridgeMeterLink::close() {
    retry_.stop();
    dropCable();
}

void BridgeMeterLink::dropCable() {
    poll_.stop();
    reader_.reset();
    handle_.reset();
}

bool BridgeMeterLink::write(const std::uint8_t* data, std::size_t size) {
    if (!handle_) return false;
    bool ok = true;
    meterlink::wrapBridgeBytes(bridge_, data, size, [&](const std::uint8_t* report, std::size_t n) {
        ok = ok && handle_->writeOutputReport(report, n);
    });
    return ok;
}

void BridgeMeterLink::poll() {
    if (!handle_) return;
    const std::string_view request = model_.line.pollCommand;
    if (!write(reinterpret_cast<const std::uint8_t*>(request.data()), request.size())) {
        lose(QStringLiteral("the %1 cable took no request: it is gone").arg(cableText()), true);
        return;
    }
    ++polls_;
    if (++unanswered_ >= kUnansweredPolls && !lost_)
        lose(QStringLiteral("the meter does not answer on the %1 cable: is it on?").arg(cableText()), false);
}

void BridgeMeterLink::noteReading() {
    unanswered_ = 0;
    if (!lost_) return;
    lost_ = false;
    emit returned();
}

bool BridgeMeterLink::send(meterlink::AbCdCommand c) {
    const meterlink::AbCdCommandFrame f = meterlink::abCdCommandFrame(c);
    return write(f.data(), f.size());
}

void BridgeMeterLink::setPolling(bool on) {
    polling_ = on;
    if (!on) poll_.stop();
    else if (handle_ && !poll_.isActive()) poll_.start();
}

void BridgeMeterLink::readFailed(std::uint32_t error) {
    lose(QStringLiteral("the %1 cable is gone (%2)").arg(cableText(), platform_->errorText(error)), true);
}

void BridgeMeterLink::lose(const QString& reason, bool cableFailed) {
    if (cableFailed) {
        dropCable();
        if (!retry_.isActive()) retry_.start();
    }
    if (lost_) return;
    lost_ = true;
    emit lost(reason);
}

void BridgeMeterLink::retry() {
    QString error;
    if (open(error, path_)) retry_.stop();
}
