// The window's device list: captions, the choice of the cable, the history.

#include "hid_test_support.h"

#include "links/usb_device_list.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using Device = SimulatedHidPlatform::Device;

Device device(const std::string& id, std::u16string product, std::u16string serial = {},
              HidAttributes attributes = {0x04D8, 0x003F, 0x0100}) {
    Device d = SimulatedHidPlatform::cable(id);
    d.product = std::move(product);
    d.serial = std::move(serial);
    d.attributes = attributes;
    return d;
}

// The controller's events bound to a device list, as the window binds them.
struct Window {
    SimulatedHid hid;
    std::unique_ptr<UsbDeviceList> list;

    void start(const std::vector<Device>& devices) {
        hid.start(devices);
        list = std::make_unique<UsbDeviceList>(hid.controller.get());
        THidDeviceController& c = *hid.controller;
        c.SetOnArrival([this](THidDevice* d) { list->HidCtlArrival(d); });
        c.SetOnRemoval([this](THidDevice* d) { list->HidCtlRemoval(d); });
        c.SetOnEnumerate([this](THidDevice* d, int i) { return list->HidCtlEnumerate(d, i); });
        c.SetOnDeviceDataError([this](THidDevice* d, std::uint32_t e) { list->HidCtlDeviceDataError(d, e); });
        c.SetOnDeviceChange([this](THidDeviceController*) { list->HidCtlDeviceChange(); });
    }
    ~Window() {
        hid.controller.reset();
        list.reset();
    }

    QStringList captions() const {
        QStringList out;
        for (const auto& e : list->entries()) out << e.caption;
        return out;
    }
};

TEST(UsbDeviceListTest, CaptionsAndTheChoiceOfTheCable) {
    const struct {
        const char* name;
        std::vector<Device> devices;
        QStringList captions;
        int selected;
    } cases[] = {
        {"a device without product string",
         {device("x", u"", u"", {0x04D8, 0x003F, 0})},
         {"Device VID=04D8 PID=003F"},
         -1},
        {"the cable among others",
         {device("k", u"Keyboard"), device("c", u"USB to Serial"), device("m", u"Mouse", u"M-7")},
         {"Keyboard", "USB to Serial", "Mouse (Serial=M-7)"},
         1},
        {"two cables: the later one",
         {device("c1", u"USB to Serial"), device("k", u"Keyboard"), device("c2", u"USB to Serial")},
         {"USB to Serial", "Keyboard", "USB to Serial"},
         2},
        {"a cable with a serial number is never chosen",
         {device("c", u"USB to Serial", u"0042")},
         {"USB to Serial (Serial=0042)"},
         -1},
        {"the caption is compared exactly", {device("c", u"usb to serial")}, {"usb to serial"}, -1},
        {"nothing present", {}, {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        w.start(c.devices);
        EXPECT_EQ(w.captions(), c.captions);
        EXPECT_EQ(w.list->selectedIndex(), c.selected);
        EXPECT_EQ(w.list->selectedDevice() != nullptr, c.selected >= 0);
        for (const auto& e : w.list->entries()) EXPECT_TRUE(e.device && e.device->CheckedOut());
    }
}

TEST(UsbDeviceListTest, HistoryLinesHaveTheirExactForms) {
    const std::uint8_t report[] = {0xF3, 0x2B, 0x30, 0x31};
    const std::uint8_t feature[] = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    const struct {
        QString line, expected;
    } cases[] = {
        {HidHistory::reportLine(0, report, sizeof report), "R 00  F3 2B 30 31 "},
        {HidHistory::reportLine(0xAB, report, 0), "R AB  "},
        {HidHistory::bytesLine(feature, sizeof feature), "00 60 09 00 00 03 00 00 00 00 "},
        {HidHistory::arrivalLine("USB to Serial"), "Arrival of USB to Serial"},
        {HidHistory::removalLine("Device VID=04D8 PID=003F"), "Removal of Device VID=04D8 PID=003F"},
        {HidHistory::readErrorLine("The device is not connected.\r\n", 0x48F),
         "READ ERROR: The device is not connected (48F)"},
        {HidHistory::readErrorLine("No such device", 19), "READ ERROR: No such device (13)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.line, c.expected);
}

TEST(UsbDeviceListTest, TheHistoryKeepsItsNewest1000LinesWithTheNewestSelected) {
    HidHistory h;
    EXPECT_EQ(h.selected(), -1);
    for (int i = 0; i < 1005; ++i) h.append(QString::number(i));
    ASSERT_EQ(h.lines().size(), 1000);
    EXPECT_EQ(h.lines().front(), QStringLiteral("5"));
    EXPECT_EQ(h.lines().back(), QStringLiteral("1004"));
    EXPECT_EQ(h.selected(), 999);
    h.clear();
    EXPECT_TRUE(h.lines().isEmpty());
}

TEST(UsbDeviceListTest, ArrivalAndRemovalAreWrittenAndTheListIsRebuilt) {
    Window w;
    w.start({device("k", u"Keyboard")});
    EXPECT_TRUE(w.list->history().lines().isEmpty());

    w.hid.sim->plug(device("c", u"USB to Serial"));
    ASSERT_TRUE(waitFor([&] { return w.list->entries().size() == 2; }));
    EXPECT_EQ(w.list->history().lines(), QStringList{"Arrival of USB to Serial"});
    EXPECT_EQ(w.list->selectedIndex(), 1);

    // A removed device can no longer be asked: its line shows the caption it had.
    w.hid.sim->unplug("c");
    ASSERT_TRUE(waitFor([&] { return w.list->entries().size() == 1; }));
    EXPECT_EQ(w.list->history().lines().back(), QStringLiteral("Removal of USB to Serial"));
    EXPECT_EQ(w.list->selectedIndex(), -1);
}

TEST(UsbDeviceListTest, ADeviceChangeStopsTheReadingOfTheSelectedDevice) {
    Window w;
    w.start({device("c", u"USB to Serial")});
    THidDevice* cable = w.list->selectedDevice();
    ASSERT_NE(cable, nullptr);
    cable->SetDataHandler([](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    ASSERT_TRUE(waitFor([&] { return w.hid.sim->readers("c") == 1; }));

    w.list->ReadBtnClick();
    EXPECT_EQ(w.list->ActiveHidDev(), cable);
    EXPECT_EQ(w.hid.sim->readers("c"), 0);

    cable->SetDataHandler([](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    ASSERT_TRUE(waitFor([&] { return w.hid.sim->readers("c") == 1; }));
    w.hid.sim->plug(device("k", u"Keyboard"));
    ASSERT_TRUE(waitFor([&] { return w.list->entries().size() == 2; }));
    EXPECT_EQ(w.hid.sim->readers("c"), 0);
    EXPECT_EQ(w.list->ActiveHidDev(), nullptr);
    EXPECT_NE(w.list->selectedDevice(), nullptr);
}

TEST(UsbDeviceListTest, ReadErrorsAreWrittenWithTheSystemsWords) {
    Device cable = device("c", u"USB to Serial");
    cable.readable = false;
    Window w;
    w.start({cable});
    THidDevice* d = w.list->selectedDevice();
    ASSERT_NE(d, nullptr);
    d->SetDataHandler([](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    ASSERT_TRUE(waitFor([&] { return !w.list->history().lines().isEmpty(); }));
    d->SetDataHandler(nullptr);
    const QString expected = HidHistory::readErrorLine(w.hid.sim->errorText(EACCES), EACCES);
    EXPECT_EQ(w.list->history().lines().front(), expected);
    EXPECT_TRUE(expected.startsWith(QStringLiteral("READ ERROR: "))) << expected.toStdString();
    EXPECT_TRUE(expected.endsWith(QStringLiteral(" (D)"))) << expected.toStdString();
}

}  // namespace
