#include "protocol/model_profile.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace meterlink {
namespace {

VariantSwitches with(std::initializer_list<VariantSwitch> on) {
    VariantSwitches s;
    for (VariantSwitch v : on) s.set(static_cast<std::size_t>(v));
    return s;
}

TEST(ModelProfile, BuildResolvesToTheSixThousandCountMeter) {
    const ModelProfile p = resolveModelProfile(buildSwitches());
    EXPECT_EQ(p.receiveHandler, ReceiveHandler::HexFrames);
    EXPECT_EQ(p.title, "48-20930 Interface Program Ver 3.03");
    EXPECT_EQ(p.fullCount, 6000);
    EXPECT_EQ(p.serialBaud, 2400);
    EXPECT_EQ(p.usbHandler, UsbReportHandler::KR20C);
    EXPECT_EQ(p.adapterBaud, 2400);
    EXPECT_EQ(captionWithPlatform(p.title, true), "48-20930 Interface Program Ver 3.03(x64)");
    EXPECT_EQ(captionWithPlatform(p.title, false), "48-20930 Interface Program Ver 3.03(x86)");
}

TEST(ModelProfile, OrderAndPrecedenceOfTheSwitches) {
    using V = VariantSwitch;
    struct Case {
        const char* name;
        VariantSwitches on;
        ReceiveHandler handler;
        const char* title;
        std::int32_t fullCount;
        int serialBaud;
        UsbReportHandler usb;
        int adapterBaud;
    };
    const Case cases[] = {
        {"none", with({}), ReceiveHandler::None, "KR20C_D  win7", 4000, 2400, UsbReportHandler::None, 2400},
        {"KR10E", with({V::IFKR10E}), ReceiveHandler::NibbleFrames, "KR10A Interface Program _Ver: 2.00", 4000,
         2400, UsbReportHandler::KR10A, 2400},
        {"KR10D", with({V::IFKR10D}), ReceiveHandler::HexFrames, "KR10D Interface Program _Ver: 2.06", 3400, 2400,
         UsbReportHandler::None, 2400},
        {"KR10D+KR905", with({V::IFKR10D, V::IFKR905}), ReceiveHandler::HexFrames,
         "KR905 USB Interface Program _Ver: 1.00", 4000, 19200, UsbReportHandler::None, 19200},
        {"KR905+KR20C", with({V::IFKR905, V::IFKR20C}), ReceiveHandler::HexFrames,
         "48-20930 Interface Program Ver 3.03", 6000, 19200, UsbReportHandler::KR20C, 2400},
        {"ZL4426", with({V::IFZL4426}), ReceiveHandler::HexFrames, "ZL4426 USB Interface Program _Ver: 1.00", 4000,
         19200, UsbReportHandler::None, 2400},
        {"KR30B+KR10E", with({V::IFKR30B, V::IFKR10E}), ReceiveHandler::HexFrames,
         "KR30B USB Interface Program _Ver: 1.00", 4000, 2400, UsbReportHandler::KR10A, 2400},
        {"unread switches", with({V::IFKR20B, V::IF20D, V::IF7731x}), ReceiveHandler::None, "KR20C_D  win7", 4000,
         2400, UsbReportHandler::None, 2400},
    };
    for (const Case& c : cases) {
        const ModelProfile p = resolveModelProfile(c.on);
        EXPECT_EQ(p.receiveHandler, c.handler) << c.name;
        EXPECT_EQ(p.title, c.title) << c.name;
        EXPECT_EQ(p.fullCount, c.fullCount) << c.name;
        EXPECT_EQ(p.serialBaud, c.serialBaud) << c.name;
        EXPECT_EQ(p.usbHandler, c.usb) << c.name;
        EXPECT_EQ(p.adapterBaud, c.adapterBaud) << c.name;
    }
    EXPECT_EQ(resolveModelProfile(with({V::IFKR10E})).firstDigit, '3');
}

}  // namespace
}  // namespace meterlink
