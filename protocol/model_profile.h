#pragma once
// The meter variant a build serves, resolved once at start-up from a fixed row
// of variant switches. The order of the switch table is the resolution order:
// a later checked switch overrides what an earlier one set.

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

namespace meterlink {

enum class VariantSwitch : std::size_t {
    IFKR10E, IFKR30B, IFKR10D, IFKR905, IFZL4426, IFKR20C,
    IFKR20B, IF20D, IF20E, IF20A, IF7731x,
    Count
};
constexpr std::size_t kVariantSwitchCount = static_cast<std::size_t>(VariantSwitch::Count);
using VariantSwitches = std::bitset<kVariantSwitchCount>;

enum class ReceiveHandler { None, HexFrames /* RECEIVE_COM_Data */, NibbleFrames /* H10BRData */ };
enum class UsbReportHandler { None, KR10A, KR30B, KR20C };

struct VariantSwitchInfo {
    VariantSwitch id;
    const char* name;
    const char* caption;
    bool checkedInBuild;   // the switches this build ships with
};

VariantSwitches buildSwitches();

struct ModelProfile {
    ReceiveHandler receiveHandler = ReceiveHandler::None;
    std::string title;                 // caption before the platform suffix
    std::string countClass = "4";      // "4", "6" or "34"
    std::int32_t fullCount = 4000;     // also the value axis: -fullCount .. fullCount
    int serialBaud = 2400;
    UsbReportHandler usbHandler = UsbReportHandler::None;
    int adapterBaud = 2400;            // written into the USB adapter's feature report
    char firstDigit = '5';             // first LCD digit before any frame
};

// The form's own caption, used when no switch sets a title.
constexpr const char* kDesignCaption = "KR20C_D  win7";

ModelProfile resolveModelProfile(const VariantSwitches& switches);

// "(x64)" or "(x86)" appended directly to the caption.
std::string captionWithPlatform(const std::string& title, bool is64Bit);

}  // namespace meterlink
