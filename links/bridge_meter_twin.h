#pragma once
// A UT61E+-like meter behind a UT-D09 cable, plugged into the simulated HID
// platform: the cable's bridge (CP2110 or CH9329) with the meter on its
// UART. It passes the PC's bytes to the meter only once the bridge is set
// up as the meter needs (for the CP2110: UART enabled, 9600 8N1), answers
// polls and obeys buttons (see UnitAbCdMeterTwin), and can be made to
// misbehave as cables and meters do: refuse a feature report, stay silent,
// answer late, cut an answer off.

#include "links/simulated_hid_platform.h"
#include "links/uart_bridge.h"
#include "protocol/meters/unit_abcd_meter_twin.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BridgeMeterTwin {
public:
    BridgeMeterTwin(SimulatedHidPlatform& platform, std::string identity, const meterlink::MeterModel& model,
                    meterlink::UartBridge bridge = meterlink::UartBridge::Cp2110);

    // The cable as a simulated device, with this twin behind it.
    SimulatedHidPlatform::Device device() const;
    void plug();
    void unplug();
    const std::string& identity() const { return identity_; }

    // The meter, under the twin's lock.
    template <class F>
    auto withMeter(F&& f) {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        return f(shared_->meter);
    }
    meterlink::UnitAbCdMeterTwin::State meterState() const;
    bool uartReady() const;

    // Misbehaviour.
    void setSilent(bool on);                    // the meter answers nothing
    void setRefusedFeature(std::uint8_t id);    // the CP2110 refuses this feature report (0: none)
    void setBytesPerReport(std::size_t n);      // how the bridge cuts answers (1..63)
    // The meter's bytes as they are, past the meter: bad answers.
    void sendMeterBytes(const std::vector<std::uint8_t>& bytes);

private:
    struct Shared {
        explicit Shared(const meterlink::MeterModel& m) : meter(m) {}
        std::mutex mutex;
        meterlink::UnitAbCdMeterTwin meter;
        bool enabled = false;
        bool lineSet = false;
        bool silent = false;
        std::uint8_t refused = 0;
        std::size_t bytesPerReport = 8;
    };
    static void deliver(SimulatedHidPlatform& platform, const std::string& identity, meterlink::UartBridge bridge,
                        std::size_t perReport, const std::uint8_t* data, std::size_t size);

    SimulatedHidPlatform& platform_;
    std::string identity_;
    meterlink::UartBridge bridge_;
    std::shared_ptr<Shared> shared_;
};
