// The system's HID devices through hidapi: it must start and list whatever
// is there (on a build machine usually nothing) without failing.

#include "links/hid_device_controller.h"
#include "links/hid_platform_factory.h"
#include "links/hidapi_platform.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(HidapiPlatformTest, StartsListsAndWatchesWithoutError) {
    auto hidapi = std::make_shared<HidapiPlatform>();
    ASSERT_TRUE(hidapi->started());
    EXPECT_EQ(hidapi->name(), QStringLiteral("hidapi"));
    const std::vector<THidPnPInfo> present = hidapi->listInterfaces();
    for (const THidPnPInfo& info : present) {
        EXPECT_FALSE(info.DevicePath.empty());
        EXPECT_FALSE(info.DevInst.empty());
    }
    std::uint32_t error = 0;
    EXPECT_EQ(hidapi->open({"/dev/meterlink-no-such-hidraw", "none"}, HidAccess::ReadWrite, &error), nullptr);
    EXPECT_NE(error, 0u);

    THidDeviceController controller(hidapi);
    int changes = 0;
    controller.SetOnDeviceChange([&](THidDeviceController*) { ++changes; });
    EXPECT_EQ(changes, 1);
    EXPECT_LE(controller.DeviceList().size(), present.size());
    controller.DeviceChange();
    QTest::qWait(100);   // the watch is running; nothing comes or goes here
}

TEST(HidapiPlatformTest, TheEnvironmentChoosesThePlatform) {
    const struct {
        const char* value;
        QString name;
    } cases[] = {
        {"", QStringLiteral("hidapi")},
        {"hidapi", QStringLiteral("hidapi")},
        {"sim:/tmp/cable.sock", QStringLiteral("sim:/tmp/cable.sock")},
        {"bogus", QStringLiteral("hidapi")},
    };
    for (const auto& c : cases) {
        qputenv("METERLINK_HID", c.value);
        EXPECT_EQ(createHidPlatform()->name(), c.name) << c.value;
    }
    qunsetenv("METERLINK_HID");
}

}  // namespace
