// The HID device and its read thread, over simulated devices.

#include "hid_test_support.h"

#include "links/hid_device.h"
#include "links/usb_report_unwrapper.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using Device = SimulatedHidPlatform::Device;

struct Received {
    std::uint8_t reportId;
    std::vector<std::uint8_t> data;
    bool onGuiThread;
};

class HidDeviceTest : public ::testing::Test {
protected:
    // Checks the first listed device out, as a client holding it would.
    THidDevice& checkOut(const Device& spec) {
        hid.start({spec});
        held = hid.controller->CheckOutDevice(0);
        return *held;
    }

    THidDataEvent recorder() {
        return [this](THidDevice*, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
            received.push_back({id, {data, data + size}, QThread::currentThread() == qApp->thread()});
        };
    }

    SimulatedHid hid;
    std::unique_ptr<THidDevice> held;
    std::vector<Received> received;
};

TEST_F(HidDeviceTest, SleepSliceTakesOnlyValuesFrom10To10000) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    EXPECT_EQ(d.SleepSlice(), 100);
    const struct {
        int value, expected;
    } cases[] = {{9, 100}, {10, 10}, {10001, 10}, {10000, 10000}, {-5, 10000}};
    for (const auto& c : cases) {
        d.SetSleepSlice(c.value);
        EXPECT_EQ(d.SleepSlice(), c.expected) << "after " << c.value;
    }
}

TEST_F(HidDeviceTest, ASerialNumberThatIsReallyTheLanguageListCountsAsNone) {
    const struct {
        const char* name;
        std::u16string serial;
        bool languagesReadable;
        bool platformMayConfuse;
        QString expected;
    } cases[] = {
        {"a real serial", u"A1B2", true, true, QStringLiteral("A1B2")},
        {"the language list itself", std::u16string(1, char16_t{0x0409}), true, true, QString()},
        {"list unreadable", u"A1B2", false, true, QString()},
        {"system that takes the serial from its descriptor", u"A1B2", false, false, QStringLiteral("A1B2")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHid local;
        local.sim->setSerialMayBeLanguageList(c.platformMayConfuse);
        Device spec = SimulatedHidPlatform::cable("c");
        spec.serial = c.serial;
        spec.languagesReadable = c.languagesReadable;
        local.start({spec});
        auto device = local.controller->CheckOutDevice(0);
        ASSERT_TRUE(device);
        EXPECT_EQ(device->SerialText(), c.expected);
    }
}

TEST_F(HidDeviceTest, LanguageListLengthIsFoundFromItsEnd) {
    const std::vector<std::uint16_t> unread(254, 0xFFFF);
    std::vector<std::uint16_t> list = unread;
    list[0] = 0x0409;
    list[1] = 0x0407;
    list[2] = 0;   // terminator: not part of the list
    std::vector<std::uint16_t> unterminated = unread;
    unterminated[0] = 0x0409;
    const struct {
        const char* name;
        std::u16string serial;
        const std::vector<std::uint16_t>& words;
        bool differs;
    } cases[] = {
        {"nothing read", u"X", unread, false},
        {"equal to the list", u"\u0409\u0407", list, false},
        {"differs in the second word", u"\u0409X", list, true},
        {"longer, same start", u"\u0409\u0407Z", list, false},
        {"list without terminator", u"\u0409", unterminated, false},
        {"empty serial", u"", unterminated, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(THidDevice::serialDiffersFromLanguageList(c.serial, c.words), c.differs) << c.name;
}

TEST_F(HidDeviceTest, CreationFailsForAnInterfaceThatCannotBeOpenedOrIdentified) {
    auto sim = std::make_shared<SimulatedHidPlatform>();
    Device closed = SimulatedHidPlatform::cable("closed");
    closed.opens = false;
    Device anonymous = SimulatedHidPlatform::cable("anonymous");
    anonymous.identifiable = false;
    Device queryOnly = SimulatedHidPlatform::cable("query-only");
    queryOnly.readWrite = false;
    for (const auto& d : {closed, anonymous, queryOnly}) sim->plug(d);
    const auto message = [&](const std::string& id) -> std::string {
        try {
            THidDevice device({"sim/" + id, id}, nullptr, sim);
            return device.ReadWriteAccess() ? "read-write" : "query-only";
        } catch (const EControllerError& e) {
            return e.what();
        }
    };
    EXPECT_EQ(message("closed"), "device cannot be opened");
    EXPECT_EQ(message("anonymous"), "device cannot be identified");
    EXPECT_EQ(message("query-only"), "query-only");
}

TEST_F(HidDeviceTest, ReportsReachTheHandlerOnTheGuiThreadOneAtATime) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    EXPECT_EQ(d.InputReportByteLength(), 9u);
    int queuedDuringFirst = -1;
    d.SetDataHandler([&](THidDevice* dev, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        // The thread waits for this call to return before it reads again.
        if (received.empty()) queuedDuringFirst = hid.sim->queuedReports("c");
        EXPECT_EQ(dev, &d);
        received.push_back({id, {data, data + size}, QThread::currentThread() == qApp->thread()});
    });
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));

    hid.sim->sendReport("c", {0x05, 0xF7, '+', '1', '2', '3', '4', ' ', '2'});
    hid.sim->sendReport("c", {});   // a read of 0 bytes: nothing to deliver
    hid.sim->sendReport("c", {0x00, 0xF0});
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    QTest::qWait(50);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].reportId, 0x05);
    EXPECT_EQ(received[0].data, (std::vector<std::uint8_t>{0xF7, '+', '1', '2', '3', '4', ' ', '2'}));
    EXPECT_EQ(received[1].data, (std::vector<std::uint8_t>{0xF0}));
    EXPECT_TRUE(received[0].onGuiThread && received[1].onGuiThread);
    EXPECT_EQ(queuedDuringFirst, 2);
}

TEST_F(HidDeviceTest, OnlyTheReportEndingABurstGoesAtOnceAndAllArriveInOrder) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    d.SetQuietReports(&UsbReportUnwrapper::isQuietReport);
    d.SetDataHandler(recorder());
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    auto sent = [&](std::uint8_t count) { hid.sim->sendReport("c", {0x00, count, '+'}); };
    auto counts = [&] {
        std::vector<std::uint8_t> c;
        for (const Received& r : received) c.push_back(r.data[0]);
        return c;
    };

    sent(0xF1);   // meter bytes: may wait for the rest of their burst
    QTest::qWait(60);
    EXPECT_EQ(received.size(), 0u) << "meter bytes wait for the end of their burst";
    sent(0xF0);   // the idle report after them ends a frame: at once, with them
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    sent(0xF0);   // idle after idle: may wait
    sent(0xFA);
    sent(0xF2);   // meter bytes: may wait
    QTest::qWait(60);
    EXPECT_EQ(received.size(), 2u) << "nothing ended a burst";
    sent(0xF0);   // ends the burst: everything waiting goes first
    ASSERT_TRUE(waitFor([&] { return received.size() == 6; }));
    EXPECT_EQ(counts(), (std::vector<std::uint8_t>{0xF1, 0xF0, 0xF0, 0xFA, 0xF2, 0xF0}));

    // With nothing else coming, waiting reports go within about a second.
    sent(0xF0);
    sent(0xF3);
    sent(0xF3);
    QTest::qWait(300);
    EXPECT_EQ(received.size(), 6u) << "a quarter second is not yet the wait";
    ASSERT_TRUE(waitFor([&] { return received.size() == 9; }, 3000));

    // Reports that queue up while the thread pauses between reads are all
    // read, more than a batch of them, and none is lost.
    sent(0xF0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 10; }));
    for (int i = 0; i < 150; ++i) sent(0xF0);
    sent(0xF4);
    sent(0xF0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 162; }, 3000));
    EXPECT_EQ(counts()[160], 0xF4);
}

TEST_F(HidDeviceTest, ClearingTheHandlerStopsTheThreadBeforeItReturnsAndBindingStartsANewOne) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    d.SetDataHandler(recorder());
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    EXPECT_TRUE(d.Reading());
    d.SetDataHandler(nullptr);
    EXPECT_FALSE(d.Reading());
    EXPECT_EQ(hid.sim->readers("c"), 0);

    d.SetDataHandler(recorder());
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    hid.sim->sendReport("c", cableReport(0xF0));
    EXPECT_TRUE(waitFor([&] { return received.size() == 1; }));
}

TEST_F(HidDeviceTest, StoppingWhileAHandOverIsPendingNeitherHangsNorDeliversIt) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    d.SetDataHandler(recorder());
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    hid.sim->sendReport("c", cableReport(0xF0));
    // Without the event loop turning, the thread takes the report and waits
    // in its hand-over.
    QElapsedTimer taken;
    taken.start();
    while (hid.sim->queuedReports("c") > 0 && taken.elapsed() < 5000) QThread::msleep(1);
    ASSERT_EQ(hid.sim->queuedReports("c"), 0);
    QThread::msleep(20);

    QElapsedTimer stop;
    stop.start();
    d.SetDataHandler(nullptr);
    EXPECT_LT(stop.elapsed(), 1000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(received.empty()) << "a report handed over after the stop";
}

TEST_F(HidDeviceTest, AHandlerMayStopItsOwnDevice) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    int calls = 0;
    d.SetDataHandler([&](THidDevice* dev, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        ++calls;
        dev->SetDataHandler(nullptr);
    });
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    hid.sim->sendReport("c", cableReport(0xF0));
    hid.sim->sendReport("c", cableReport(0xF0));
    ASSERT_TRUE(waitFor([&] { return calls == 1; }));
    EXPECT_FALSE(d.Reading());
    EXPECT_TRUE(waitFor([&] { return hid.sim->readers("c") == 0; }));
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);
}

TEST_F(HidDeviceTest, ADeviceWithoutReadWriteAccessNeverReads) {
    Device spec = SimulatedHidPlatform::cable("c");
    spec.readWrite = false;
    THidDevice& d = checkOut(spec);
    EXPECT_FALSE(d.ReadWriteAccess());
    EXPECT_EQ(d.ProductText(), QStringLiteral("USB to Serial"));
    d.SetDataHandler(recorder());
    EXPECT_FALSE(d.Reading());
    const std::uint8_t feature[] = {0, 0x60, 0x09, 0, 0, 3, 0, 0, 0, 0};
    EXPECT_FALSE(d.SendFeatureReport(feature, sizeof feature));
}

TEST_F(HidDeviceTest, AReadThatCannotStartIsReportedAndRetriedAfterASlice) {
    Device spec = SimulatedHidPlatform::cable("c");
    spec.readable = false;
    THidDevice& d = checkOut(spec);
    d.SetSleepSlice(50);
    std::vector<std::uint32_t> errors;
    d.SetDataErrorHandler([&](THidDevice*, std::uint32_t e) { errors.push_back(e); });
    d.SetDataHandler(recorder());
    QTest::qWait(500);
    d.SetDataHandler(nullptr);
    // One try a slice, not a spinning core.
    EXPECT_GE(errors.size(), 3u);
    EXPECT_LE(errors.size(), 12u);
    EXPECT_EQ(errors.front(), static_cast<std::uint32_t>(EACCES));
}

TEST_F(HidDeviceTest, UnplugStopsReadingClosesTheGateAndTellsOnce) {
    THidDevice& d = checkOut(SimulatedHidPlatform::cable("c"));
    int told = 0;
    d.SetUnplugHandler([&](THidDevice*) { ++told; });
    d.SetDataHandler(recorder());
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("c") == 1; }));
    d.Unplug();
    d.Unplug();
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(d.PluggedIn());
    EXPECT_FALSE(d.Reading());
    EXPECT_EQ(hid.sim->readers("c"), 0);
    const std::uint8_t feature[] = {0, 0x60, 0x09, 0, 0, 3, 0, 0, 0, 0};
    EXPECT_FALSE(d.SendFeatureReport(feature, sizeof feature));
    EXPECT_TRUE(hid.sim->featureReports("c").empty());
}

}  // namespace
