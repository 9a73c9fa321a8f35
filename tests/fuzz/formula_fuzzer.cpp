// libFuzzer target: any text as a calculated channel's definition. What parses
// is evaluated on a small bench and unit-checked; nothing may crash, and a
// value is either a finite number or "no value" with a reason.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "channels/formula.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace meterlink;
    const std::vector<std::string> known{"CH1", "CH2", "CH3"};
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = Formula::parse(text, known);
    if (auto* error = std::get_if<FormulaError>(&parsed)) {
        if (error->position == 0 || error->message.empty()) std::abort();
        return 0;
    }
    const auto& formula = std::get<Formula>(parsed);
    ChannelBoard board;
    for (const auto& name : known) board.addChannel(name, 1.0);
    for (const auto& [channel, count] : formula.readingsNeeded()) board.keepReadings(channel, count);
    for (int i = 0; i < 4; ++i) {
        board.add("CH1", {double(i), true, 12.0 - i, "V"});
        board.add("CH2", {double(i), true, double(i), "A"});
        board.add("CH3", {double(i), i != 2, 1e300, "Hz"});
    }
    FormulaValue v = formula.evaluate(board, 3.5);
    if (v.hasValue ? !std::isfinite(v.value) : v.reason.empty()) std::abort();
    (void)formula.checkUnits({{"CH1", "V"}, {"CH2", "A"}, {"CH3", "Hz"}});
    return 0;
}
