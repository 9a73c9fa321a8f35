#include "links/bridge_meter_twin.h"

using meterlink::UartBridge;

BridgeMeterTwin::BridgeMeterTwin(SimulatedHidPlatform& platform, std::string identity,
                                 const meterlink::MeterModel& model, UartBridge bridge)
    : platform_(platform), identity_(std::move(identity)), bridge_(bridge), shared_(std::make_shared<Shared>(model)) {
    // The CH9329 keeps its UART as set at the factory.
    shared_->enabled = shared_->lineSet = bridge == UartBridge::Ch9329;
}

SimulatedHidPlatform::Device BridgeMeterTwin::device() const {
    SimulatedHidPlatform::Device d;
    d.identity = identity_;
    if (bridge_ == UartBridge::Cp2110) {
        d.attributes = {0x10c4, 0xea80, 0x0100};
        d.product = u"CP2110 HID USB-to-UART Bridge";
        d.inputReportLength = meterlink::kCp2110MaxReportBytes;
    } else {
        d.attributes = {0x1a86, 0xe429, 0x0100};
        d.product = u"HID-UART";
        d.inputReportLength = meterlink::kCh9329ReportBytes;
    }
    std::shared_ptr<Shared> shared = shared_;
    const UartBridge bridge = bridge_;
    d.onFeature = [shared](const std::uint8_t* data, std::size_t size) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (size == 0 || data[0] == shared->refused) return false;
        if (data[0] == meterlink::kCp2110UartEnable && size >= 2) shared->enabled = data[1] == 1;
        // 9600 baud, no parity, no flow control, 8 data bits, one stop bit: the meter's line.
        if (data[0] == meterlink::kCp2110UartConfig && size >= 9)
            shared->lineSet = data[1] == 0 && data[2] == 0 && data[3] == 0x25 && data[4] == 0x80 && data[5] == 0 &&
                              data[7] == 3 && data[8] == 0;
        return true;
    };
    SimulatedHidPlatform* platform = &platform_;
    const std::string identity = identity_;
    d.onOutput = [shared, platform, identity, bridge](const std::uint8_t* data, std::size_t size) {
        if (size == 0) return;
        // The PC's bytes: the report ID is the count (CP2110), or byte 1 is (CH9329).
        const meterlink::BridgeBytes in = meterlink::unwrapBridgeReport(bridge, data[0], data + 1, size - 1);
        std::vector<std::uint8_t> answer;
        std::size_t perReport = 0;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (!in.valid || !shared->enabled || !shared->lineSet) return;
            shared->meter.receive(in.data, in.size, answer);
            if (shared->silent) answer.clear();
            perReport = shared->bytesPerReport;
        }
        deliver(*platform, identity, bridge, perReport, answer.data(), answer.size());
    };
    return d;
}

void BridgeMeterTwin::deliver(SimulatedHidPlatform& platform, const std::string& identity, UartBridge bridge,
                              std::size_t perReport, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t n = std::min(size, perReport);
        meterlink::wrapBridgeBytes(bridge, data, n, [&](const std::uint8_t* report, std::size_t reportSize) {
            platform.sendReport(identity, std::vector<std::uint8_t>(report, report + reportSize));
        });
        data += n;
        size -= n;
    }
}

void BridgeMeterTwin::plug() { platform_.plug(device()); }
void BridgeMeterTwin::unplug() { platform_.unplug(identity_); }

meterlink::UnitAbCdMeterTwin::State BridgeMeterTwin::meterState() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->meter.state();
}

bool BridgeMeterTwin::uartReady() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->enabled && shared_->lineSet;
}

void BridgeMeterTwin::setSilent(bool on) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->silent = on;
}

void BridgeMeterTwin::setRefusedFeature(std::uint8_t id) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->refused = id;
}

void BridgeMeterTwin::setBytesPerReport(std::size_t n) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->bytesPerReport = std::clamp<std::size_t>(n, 1, meterlink::kBridgeMaxBytes);
}

void BridgeMeterTwin::sendMeterBytes(const std::vector<std::uint8_t>& bytes) {
    std::size_t perReport = 0;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        perReport = shared_->bytesPerReport;
    }
    deliver(platform_, identity_, bridge_, perReport, bytes.data(), bytes.size());
}
