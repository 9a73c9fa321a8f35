#pragma once
// Calculated channels: NAME = FORMULA [UNIT], a formula over the latest
// readings of the bench's channels. The grammar is in the README ("Formulas of
// calculated channels"). Errors of the text are found when it is entered, with
// their position; at run time a missing, stale or unusable input gives "no
// value" with a reason, never a number from old readings.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "channels/channel_board.h"

namespace meterlink {

struct FormulaError {
    std::size_t position = 0;  // 1-based character position in the entered text
    std::string message;       // without the position
    std::string text() const;  // "message at position N"
};

struct FormulaValue {
    bool hasValue = false;
    double value = 0;
    std::string unit;    // SI symbol or compound, "" for a pure number
    std::string reason;  // why there is no value
};

struct FormulaNode;

class Formula {
public:
    static constexpr std::size_t kMaxLength = 1000;
    static constexpr std::size_t kMaxAverageCount = 10000;

    // Parses "NAME = FORMULA" or "NAME = FORMULA [UNIT]". The formula may name
    // the channels in knownChannels (case does not matter).
    static std::variant<Formula, FormulaError> parse(std::string_view definition,
                                                     const std::vector<std::string>& knownChannels);

    const std::string& name() const { return name_; }
    const std::string& givenUnit() const { return givenUnit_; }

    // The channels read, and for each the number of readings its averages need.
    std::map<std::string, std::size_t> readingsNeeded() const;

    // With the units the channels show now: an error when they cannot be
    // combined (V + A), checked when the formula is entered.
    std::optional<FormulaError> checkUnits(const std::map<std::string, std::string>& unitByChannel) const;

    // The result from the board's readings at `now` (bench clock, seconds).
    FormulaValue evaluate(const ChannelBoard& board, double now) const;

private:
    std::string name_;
    std::string givenUnit_;
    std::shared_ptr<const FormulaNode> root_;
};

}  // namespace meterlink
