// The cable simulated by meterlink-cli in another process, reached over its
// socket: listed while it runs, silent until its speed is set, then streaming
// frames; gone when the simulator ends.

#include "hid_test_support.h"

#include "links/socket_hid_platform.h"
#include "links/usb_report_unwrapper.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SocketHidPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        socket = dir.filePath(QStringLiteral("cable.sock"));
    }
    void TearDown() override {
        controller.reset();
        stopSimulator();
    }

    void startSimulator() {
        simulator.start(QStringLiteral(METERLINK_CLI),
                        {"simulate", "--usb", socket, "--rate", "20", "--report-ms", "5"});
        ASSERT_TRUE(simulator.waitForReadyRead(5000)) << "the simulator did not start";
        ASSERT_EQ(simulator.readLine().trimmed(), socket.toUtf8());
    }
    void stopSimulator() {
        if (simulator.state() == QProcess::NotRunning) return;
        simulator.terminate();
        simulator.waitForFinished(5000);
    }

    QTemporaryDir dir;
    QString socket;
    QProcess simulator;
    std::unique_ptr<THidDeviceController> controller;
};

TEST_F(SocketHidPlatformTest, TheSimulatedCableStreamsOnceItsSpeedIsSet) {
    auto platform = std::make_shared<SocketHidPlatform>(socket.toStdString());
    EXPECT_TRUE(platform->listInterfaces().empty()) << "nothing listed before the simulator runs";
    startSimulator();
    controller = std::make_unique<THidDeviceController>(platform);
    ASSERT_EQ(controller->DeviceList().size(), 1u);
    auto cable = controller->CheckOutDevice(0);
    ASSERT_TRUE(cable);
    EXPECT_EQ(cable->ProductText(), QStringLiteral("USB to Serial"));
    EXPECT_EQ(cable->SerialText(), QString());
    EXPECT_TRUE(cable->ReadWriteAccess());
    EXPECT_EQ(cable->InputReportByteLength(), 9u);

    int reports = 0;
    std::vector<meterlink::MeterFrame> frames;
    UsbReportUnwrapper unwrapper([&](const meterlink::MeterFrame& f) { frames.push_back(f); });
    cable->SetDataHandler([&](THidDevice*, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        EXPECT_EQ(id, 0);
        EXPECT_EQ(size, 8);
        ++reports;
        unwrapper.USBReadKR20C(data, size);
    });
    ASSERT_TRUE(waitFor([&] { return reports >= 20; }));
    EXPECT_EQ(unwrapper.UsbIdleCount(), reports) << "only idle reports before the speed is set";

    const auto feature = adapterFeatureReport(2400);
    EXPECT_TRUE(cable->SendFeatureReport(feature.data(), feature.size()));
    ASSERT_TRUE(waitFor([&] { return frames.size() >= 3; }));
    for (const auto& f : frames) EXPECT_TRUE(meterlink::hasFrameShape(f.bytes.data(), f.size));

    // Another speed stops the meter's bytes: at this pace a frame comes every
    // tenth report while they flow, so a long run of idle reports shows the stop.
    const auto other = adapterFeatureReport(19200);
    EXPECT_TRUE(cable->SendFeatureReport(other.data(), other.size()));
    EXPECT_TRUE(waitFor([&] { return unwrapper.UsbIdleCount() >= 100; }));
}

TEST_F(SocketHidPlatformTest, TheSimulatorEndingIsARemovalAndARestartIsANewDevice) {
    startSimulator();
    controller = std::make_unique<THidDeviceController>(std::make_shared<SocketHidPlatform>(socket.toStdString()));
    ASSERT_EQ(controller->DeviceList().size(), 1u);
    const std::string first = controller->DeviceList()[0]->PnPInfo().DevInst;
    auto cable = controller->CheckOutDevice(0);
    std::vector<std::uint32_t> errors;
    cable->SetDataErrorHandler([&](THidDevice*, std::uint32_t e) { errors.push_back(e); });
    cable->SetDataHandler([](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});

    std::vector<std::string> events;
    controller->SetOnArrival([&](THidDevice* d) { events.push_back("arrival " + d->PnPInfo().DevInst); });
    controller->SetOnRemoval([&](THidDevice* d) { events.push_back("removal " + d->PnPInfo().DevInst); });
    stopSimulator();
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); })) << "the read fails when the simulator goes";
    controller->DeviceChange();
    EXPECT_EQ(events, std::vector<std::string>{"removal " + first});
    EXPECT_FALSE(cable->PluggedIn());
    cable.reset();

    events.clear();
    startSimulator();
    controller->DeviceChange();
    ASSERT_EQ(controller->DeviceList().size(), 1u);
    const std::string second = controller->DeviceList()[0]->PnPInfo().DevInst;
    EXPECT_NE(second, first);
    EXPECT_EQ(events, std::vector<std::string>{"arrival " + second});
}

TEST_F(SocketHidPlatformTest, TheCableSimulatorRefusesBadArgumentsAndATakenSocket) {
    const struct {
        QStringList args;
        const char* complaint;
    } cases[] = {
        {{"--usb"}, "--usb needs a value"},
        {{"--usb", socket, "--report-ms", "0"}, "bad value '0' for --report-ms"},
        {{"--usb", socket, "--rate", "fast"}, "bad value 'fast' for --rate"},
        {{"--usb", socket, "--count", "1.5"}, "bad value '1.5' for --count"},
        {{"--usb", socket, "--pty"}, "unknown argument '--pty'"},
        {{"--usb", socket, "--scenario", dir.filePath("missing.txt")}, "missing.txt"},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(METERLINK_CLI), QStringList{"simulate"} + c.args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitCode(), 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains(c.complaint)) << c.complaint;
    }

    startSimulator();
    QProcess second;
    second.start(QStringLiteral(METERLINK_CLI), {"simulate", "--usb", socket});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("another simulator listens on"));
    EXPECT_EQ(simulator.state(), QProcess::Running);
}

}  // namespace
