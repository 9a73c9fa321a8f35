// libFuzzer target: any text as an --alarm. What parses drives a monitor
// through a few readings and ticks; nothing may crash, and an error names a
// position inside the text or just after it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "channels/alarm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace meterlink;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = parseAlarm(text, {"CH1", "CH2"});
    if (auto* error = std::get_if<AlarmSpecError>(&parsed)) {
        if (error->position == 0 || error->position > size + 1 || error->message.empty()) std::abort();
        return 0;
    }
    AlarmMonitor monitor({std::get<Alarm>(parsed)});
    const double values[] = {0, 5, -5, std::numeric_limits<double>::infinity(), 1e300, -0.0};
    for (int i = 0; i < 6; ++i) {
        ConditionInput in;
        in.time = i;
        in.hasValue = i != 4;
        in.value = values[i];
        in.fail = i % 2 == 1;
        in.lowLimit = -1;
        in.highLimit = 1;
        monitor.reading(i % 2 ? "ch1" : "CH2", in, "V");
        monitor.tick(i + 0.5);
    }
    return 0;
}
