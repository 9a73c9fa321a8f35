#include "model_profile.h"

#include <utility>

namespace meterlink {

namespace {

using V = VariantSwitch;

constexpr std::array<VariantSwitchInfo, kVariantSwitchCount> kSwitches{{
    {V::IFKR10E, "IFKR10E", "KR10E", false},
    {V::IFKR30B, "IFKR30B", "KR30B", false},
    {V::IFKR10D, "IFKR10D", "KR10D", false},
    {V::IFKR905, "IFKR905", "KR905", false},
    {V::IFZL4426, "IFZL4426", "ZL4426", false},
    {V::IFKR20C, "IFKR20C", "IFKR20C", true},
    {V::IFKR20B, "IFKR20B", "IFKR20B", false},
    {V::IF20D, "IF20D", "IF20D", false},
    {V::IF20E, "IF20E", "IF20E", false},
    {V::IF20A, "IF20A", "IF20A", false},
    {V::IF7731x, "IF7731x", "IF7731x", false},
}};

// What a checked switch sets at start-up; unset fields leave the earlier value.
struct StartupStep {
    V id;
    ReceiveHandler handler;
    const char* title;
    const char* countClass;   // nullptr: unchanged
    int serialBaud;           // 0: unchanged
    char firstDigit;          // '\0': unchanged
};

constexpr StartupStep kStartupSteps[] = {
    {V::IFKR10E, ReceiveHandler::NibbleFrames, "KR10A Interface Program _Ver: 2.00", nullptr, 0, '3'},
    {V::IFKR30B, ReceiveHandler::HexFrames, "KR30B USB Interface Program _Ver: 1.00", nullptr, 0, '\0'},
    {V::IFKR10D, ReceiveHandler::HexFrames, "KR10D Interface Program _Ver: 2.06", "34", 0, '\0'},
    {V::IFKR905, ReceiveHandler::HexFrames, "KR905 USB Interface Program _Ver: 1.00", "4", 19200, '\0'},
    {V::IFZL4426, ReceiveHandler::HexFrames, "ZL4426 USB Interface Program _Ver: 1.00", "4", 19200, '\0'},
    {V::IFKR20C, ReceiveHandler::HexFrames, "48-20930 Interface Program Ver 3.03", "6", 0, '\0'},
};

// Feature-report baud: tested in this order, a checked switch sets its rate.
constexpr std::pair<V, int> kAdapterBaudSteps[] = {
    {V::IFKR905, 19200}, {V::IFKR10E, 2400}, {V::IFKR30B, 2400}, {V::IFKR20C, 2400}};

// USB input-report handler: the last checked one in this order is bound.
constexpr std::pair<V, UsbReportHandler> kUsbHandlerSteps[] = {
    {V::IFKR30B, UsbReportHandler::KR30B},
    {V::IFKR10E, UsbReportHandler::KR10A},
    {V::IFKR20C, UsbReportHandler::KR20C}};

bool checked(const VariantSwitches& s, V id) { return s.test(static_cast<std::size_t>(id)); }

}  // namespace

VariantSwitches buildSwitches() {
    VariantSwitches s;
    for (const auto& info : kSwitches)
        s.set(static_cast<std::size_t>(info.id), info.checkedInBuild);
    return s;
}

ModelProfile resolveModelProfile(const VariantSwitches& switches) {
    ModelProfile p;
    p.title = kDesignCaption;
    for (const StartupStep& step : kStartupSteps) {
        if (!checked(switches, step.id)) continue;
        p.receiveHandler = step.handler;
        p.title = step.title;
        if (step.countClass) p.countClass = step.countClass;
        if (step.serialBaud) p.serialBaud = step.serialBaud;
        if (step.firstDigit) p.firstDigit = step.firstDigit;
    }
    if (p.countClass == "6") p.fullCount = 6000;
    else if (p.countClass == "34") p.fullCount = 3400;
    else p.fullCount = 4000;

    for (const auto& [id, baud] : kAdapterBaudSteps)
        if (checked(switches, id)) p.adapterBaud = baud;
    for (const auto& [id, handler] : kUsbHandlerSteps)
        if (checked(switches, id)) p.usbHandler = handler;
    return p;
}

std::string captionWithPlatform(const std::string& title, bool is64Bit) {
    return title + (is64Bit ? "(x64)" : "(x86)");
}

}  // namespace meterlink
