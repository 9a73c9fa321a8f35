#pragma once
// A controller over simulated HID devices, for the HID layer's tests.

#include "links/hid_device_controller.h"
#include "links/simulated_hid_platform.h"

#include <QCoreApplication>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SimulatedHid {
    std::shared_ptr<SimulatedHidPlatform> sim = std::make_shared<SimulatedHidPlatform>();
    std::unique_ptr<THidDeviceController> controller;

    // Plugs the devices in, then creates the controller, which lists them.
    void start(const std::vector<SimulatedHidPlatform::Device>& devices) {
        for (const auto& d : devices) sim->plug(d);
        controller = std::make_unique<THidDeviceController>(sim);
        QCoreApplication::processEvents();   // the plug notifications
    }

    THidDevice* listed(std::size_t i) const { return controller->DeviceList().at(i); }
};

inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

// A report of the cable: report ID 0, count byte, meter bytes, padded to 9 bytes.
inline std::vector<std::uint8_t> cableReport(std::uint8_t count, const std::vector<std::uint8_t>& bytes = {}) {
    std::vector<std::uint8_t> report(9, 0);
    report[1] = count;
    for (std::size_t i = 0; i < bytes.size() && i + 2 < report.size(); ++i) report[i + 2] = bytes[i];
    return report;
}
