#include "links/uart_bridge.h"

#include "links/usb_cable_ids.h"

namespace meterlink {

bool uartBridgeOf(std::uint16_t vendorId, std::uint16_t productId, UartBridge& bridge) {
    const UsbCableId* id = findUsbCable(vendorId, productId);
    if (!id || id->cable != Cable::UtD09) return false;
    bridge = id->bridge == "CP2110" ? UartBridge::Cp2110 : UartBridge::Ch9329;
    return true;
}

std::string_view uartBridgeName(UartBridge b) { return b == UartBridge::Cp2110 ? "CP2110" : "CH9329"; }

std::vector<BridgeSetupStep> bridgeSetup(UartBridge b, const LineSettings& line) {
    if (b != UartBridge::Cp2110) return {};
    std::vector<BridgeSetupStep> steps(3);
    steps[0].bytes = {kCp2110UartEnable, 0x01};
    steps[0].size = 2;
    steps[0].what = "enable the UART";
    const auto baud = static_cast<std::uint32_t>(line.baud);
    // Parity: 0 none, 1 odd, 2 even; data bits: 0-3 for 5-8; stop bits: 0 short (one).
    const std::uint8_t parity = line.parity == Parity::None ? 0 : line.parity == Parity::Odd ? 1 : 2;
    steps[1].bytes = {kCp2110UartConfig,
                      static_cast<std::uint8_t>(baud >> 24),
                      static_cast<std::uint8_t>(baud >> 16),
                      static_cast<std::uint8_t>(baud >> 8),
                      static_cast<std::uint8_t>(baud),
                      parity,
                      0,
                      static_cast<std::uint8_t>(line.dataBits - 5),
                      static_cast<std::uint8_t>(line.stopBits > 1 ? 1 : 0)};
    steps[1].size = 9;
    steps[1].what = "set the line";
    steps[2].bytes = {kCp2110PurgeFifos, 0x03};
    steps[2].size = 2;
    steps[2].what = "purge its buffers";
    return steps;
}

BridgeBytes unwrapBridgeReport(UartBridge b, std::uint8_t reportId, const std::uint8_t* data, std::size_t size) {
    BridgeBytes out;
    std::size_t count = reportId, at = 0;
    if (b == UartBridge::Ch9329) {
        if (reportId != 0 || size < 1) return out;
        count = data[0];
        at = 1;
    }
    if (count == 0 || count > kBridgeMaxBytes || at + count > size) return out;
    out.data = data + at;
    out.size = count;
    out.valid = true;
    return out;
}

}  // namespace meterlink
