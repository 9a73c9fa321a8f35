// The HID device controller: listing, reconciliation and its event order,
// enumeration, check-out and check-in, over simulated devices.

#include "hid_test_support.h"

#include <gtest/gtest.h>

namespace {

using Device = SimulatedHidPlatform::Device;

Device named(const std::string& id, const char16_t* product) {
    Device d = SimulatedHidPlatform::cable(id);
    d.product = product;
    return d;
}

// Binds every event of the controller to a log of what happened, in order.
class EventLog {
public:
    explicit EventLog(THidDeviceController& c) {
        // Reading the product shows that the gate is open during the call.
        c.SetOnArrival([this](THidDevice* d) {
            lines.push_back("arrival " + d->ProductText().toStdString() + " " + d->PnPInfo().DevInst);
        });
        c.SetOnRemoval([this](THidDevice* d) { lines.push_back("removal " + d->PnPInfo().DevInst); });
        c.SetOnDeviceChange([this](THidDeviceController*) { lines.push_back("change"); });
    }
    std::vector<std::string> take() { return std::exchange(lines, {}); }
    std::vector<std::string> lines;
};

std::vector<std::string> instances(const THidDeviceController& c) {
    std::vector<std::string> ids;
    for (const THidDevice* d : c.DeviceList()) ids.push_back(d->PnPInfo().DevInst);
    return ids;
}

TEST(HidDeviceControllerTest, OnlyOneControllerMayExist) {
    SimulatedHid hid;
    hid.start({named("a", u"A")});
    EventLog log(*hid.controller);
    log.take();
    try {
        THidDeviceController second(hid.sim);
        FAIL() << "a second controller was created";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Only one THidDeviceController allowed per program");
    }
    // The first keeps its devices and its watch.
    EXPECT_EQ(instances(*hid.controller), std::vector<std::string>{"a"});
    hid.sim->plug(named("b", u"B"));
    ASSERT_TRUE(waitFor([&] { return hid.controller->DeviceList().size() == 2; }));
    EXPECT_EQ(log.take(), (std::vector<std::string>{"arrival B b", "change"}));
    hid.controller.reset();
    EXPECT_NO_THROW(THidDeviceController again(hid.sim));
}

TEST(HidDeviceControllerTest, ReconciliationRaisesRemovalsLastToFirstThenArrivalsThenOneChange) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B"), named("c", u"C")});
    EventLog log(*hid.controller);
    EXPECT_EQ(log.take(), std::vector<std::string>{"change"}) << "binding raises the change at once";
    hid.controller->DeviceChange();
    EXPECT_TRUE(log.take().empty()) << "nothing changed, nothing raised";

    hid.sim->unplug("a");
    hid.sim->unplug("c");
    hid.sim->plug(named("d", u"D"));
    hid.sim->plug(named("e", u"E"));
    hid.controller->DeviceChange();
    EXPECT_EQ(log.take(),
              (std::vector<std::string>{"removal c", "removal a", "arrival D d", "arrival E e", "change"}));
    EXPECT_EQ(instances(*hid.controller), (std::vector<std::string>{"b", "d", "e"}));
}

TEST(HidDeviceControllerTest, AHeldDeviceStaysListedUnpluggedAndIsReportedAgainUntilLetGo) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B")});
    auto held = hid.controller->CheckOutDevice(1);
    ASSERT_TRUE(held);
    EventLog log(*hid.controller);
    log.take();

    hid.sim->unplug("a");
    hid.sim->unplug("b");
    hid.controller->DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"removal b", "removal a", "change"}));
    EXPECT_EQ(instances(*hid.controller), std::vector<std::string>{"b"});
    EXPECT_FALSE(held->PluggedIn());

    hid.controller->DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"removal b", "change"}));
    held.reset();   // the check-in of an unplugged device takes its place away
    EXPECT_TRUE(hid.controller->DeviceList().empty());
    hid.controller->DeviceChange();
    EXPECT_TRUE(log.take().empty());
}

TEST(HidDeviceControllerTest, CheckOutLendsEachListedDeviceOnce) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B")});
    auto a = hid.controller->CheckOutDevice(0);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->CheckedOut());
    for (int idx : {-1, 2, 0}) EXPECT_EQ(hid.controller->CheckOutDevice(idx), nullptr) << "Idx " << idx;
}

TEST(HidDeviceControllerTest, EnumerationOffersPluggedInDevicesUntilTheHandlerSaysStop) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B"), named("c", u"C"), named("d", u"D")});
    auto held = hid.controller->CheckOutDevice(0);
    hid.sim->unplug("a");
    hid.controller->DeviceChange();   // a stays listed, unplugged, while held

    std::vector<std::string> offered;
    bool stopAtC = true;
    hid.controller->SetOnEnumerate([&](THidDevice* d, int idx) {
        offered.push_back(d->ProductText().toStdString() + "@" + std::to_string(idx));
        return !(stopAtC && idx == 2);
    });
    EXPECT_EQ(hid.controller->EnumerateDevices(), 2) << "the count includes the device that stopped it";
    EXPECT_EQ(offered, (std::vector<std::string>{"B@1", "C@2"}));
    // Outside an enumeration the gate is shut: a device never offered tells nothing.
    EXPECT_EQ(hid.listed(3)->ProductText(), QString());

    offered.clear();
    stopAtC = false;
    EXPECT_EQ(hid.controller->EnumerateDevices(), 3);
    EXPECT_EQ(offered, (std::vector<std::string>{"B@1", "C@2", "D@3"}));
}

TEST(HidDeviceControllerTest, CheckInLeavesAFreshDeviceInTheSamePlace) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B"), named("c", u"C")});
    const THidDataEvent handler = [](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {};
    const THidPlugEvent unplug = [](THidDevice*) {};
    auto held = hid.controller->CheckOutDevice(1);
    held->SetDataHandler(handler);
    held->SetUnplugHandler(unplug);
    held->SetSleepSlice(40);
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("b") == 1; }));
    const THidDevice* old = held.get();

    held.reset();
    EXPECT_EQ(hid.sim->readers("b"), 0) << "the check-in stops reading";
    EXPECT_EQ(instances(*hid.controller), (std::vector<std::string>{"a", "b", "c"}));
    THidDevice* fresh = hid.listed(1);
    EXPECT_NE(fresh, old);
    EXPECT_FALSE(fresh->CheckedOut());
    EXPECT_FALSE(fresh->Reading());
    EXPECT_TRUE(fresh->DataHandler() == handler);
    EXPECT_TRUE(fresh->UnplugHandler() == unplug);
    EXPECT_EQ(fresh->SleepSlice(), 40);
    // Offered anew: it can be checked out again, and then it reads.
    auto again = hid.controller->CheckOutDevice(1);
    ASSERT_TRUE(again);
    EXPECT_TRUE(waitFor([&] { return hid.sim->readers("b") == 1; }));
}

TEST(HidDeviceControllerTest, HandlersAndSleepTimeReachTheDevicesThatStillCarryTheOldOnes) {
    SimulatedHid hid;
    hid.start({named("a", u"A"), named("b", u"B")});
    const THidDataErrorEvent mine = [](THidDevice*, std::uint32_t) {};
    hid.listed(1)->SetDataErrorHandler(mine);
    hid.listed(1)->SetSleepSlice(250);

    const THidDataErrorEvent shared = [](THidDevice*, std::uint32_t) {};
    hid.controller->SetOnDeviceDataError(shared);
    hid.controller->SetDevThreadSleepTime(30);
    EXPECT_TRUE(hid.listed(0)->DataErrorHandler() == shared);
    EXPECT_TRUE(hid.listed(1)->DataErrorHandler() == mine);
    EXPECT_EQ(hid.listed(0)->SleepSlice(), 30);
    EXPECT_EQ(hid.listed(1)->SleepSlice(), 250);
    // Devices listed later start with the controller's handlers.
    hid.sim->plug(named("c", u"C"));
    hid.controller->DeviceChange();
    EXPECT_TRUE(hid.listed(2)->DataErrorHandler() == shared);
}

TEST(HidDeviceControllerTest, DestroyingTheControllerUnplugsTheDevicesItLent) {
    SimulatedHid hid;
    hid.start({named("a", u"A")});
    auto held = hid.controller->CheckOutDevice(0);
    held->SetDataHandler([](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    ASSERT_TRUE(waitFor([&] { return hid.sim->readers("a") == 1; }));
    hid.controller.reset();
    EXPECT_FALSE(held->PluggedIn());
    EXPECT_EQ(hid.sim->readers("a"), 0);
    held.reset();   // no controller to return it to: nothing to do
}

}  // namespace
