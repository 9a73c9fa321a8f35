#include "unit_abcd_commands.h"

#include <cctype>

namespace meterlink {

namespace {

// Window order first (the row of remote buttons), then the rest.
constexpr AbCdButton kButtons[] = {
    {"hold", "Hold", AbCdCommand::Hold},
    {"range", "Range", AbCdCommand::Range},
    {"auto", "Auto", AbCdCommand::Auto},
    {"rel", "Rel", AbCdCommand::Rel},
    {"minmax", "Min/Max", AbCdCommand::MinMax},
    {"select", "Select", AbCdCommand::Select},
    {"light", "Light", AbCdCommand::Light},
    {"minmax-off", "Min/Max off", AbCdCommand::MinMaxOff},
    {"hz", "Hz/%", AbCdCommand::HzDuty},
    {"peak", "Peak", AbCdCommand::PeakMinMax},
    {"peak-off", "Peak off", AbCdCommand::PeakOff},
};

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

}  // namespace

const AbCdButton* abCdButtons(std::size_t& count) {
    count = sizeof kButtons / sizeof kButtons[0];
    return kButtons;
}

std::optional<AbCdCommand> abCdCommandNamed(std::string_view name) {
    for (const AbCdButton& b : kButtons)
        if (sameName(name, b.name)) return b.command;
    return std::nullopt;
}

std::optional<AbCdCommand> parseAbCdCommand(const std::uint8_t* frame, std::size_t size) {
    if (size != kAbCdCommandBytes || frame[0] != kAbCdFirst || frame[1] != kAbCdSecond || frame[2] != 3 ||
        !abCdSumMatches(frame, size))
        return std::nullopt;
    const auto code = frame[3];
    if (code == static_cast<std::uint8_t>(AbCdCommand::Measure)) return AbCdCommand::Measure;
    for (const AbCdButton& b : kButtons)
        if (static_cast<std::uint8_t>(b.command) == code) return b.command;
    return std::nullopt;
}

}  // namespace meterlink
