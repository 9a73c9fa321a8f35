#include "bench_options.h"

#include "serve/scpi_server.h"

namespace {

std::vector<std::string> channelNames(const BenchOptions& o) {
    std::vector<std::string> names{"CH1"};
    for (const auto& f : o.calcs) names.push_back(f.name());
    return names;
}

}  // namespace

const char* benchUsage() {
    return "  --scpi [HOST:]PORT  answer SCPI queries on a raw TCP socket (READ?,\n"
           "                  FETCh? (@2), TRACe:DATA? N, ...); localhost unless a HOST\n"
           "                  (an IP address, 0.0.0.0 for all) is given\n"
           "  --calc NAME=FORMULA  a calculated channel over CH1 (the meter) and the\n"
           "                  channels before it, such as 'T = CH1 * 1000 [°C]';\n"
           "                  repeatable; SCPI channel 2, 3, ... in order\n"
           "  --alarm 'CONDITION: ACTION'  such as 'CH1 > 5.5 for 3s hyst 0.1: sound,\n"
           "                  run /usr/local/bin/notify'; actions: sound, message TEXT,\n"
           "                  run PROGRAM ARGS (no shell), stop (ends the run); repeatable\n";
}

bool isBenchOption(const std::string& arg) { return arg == "--scpi" || arg == "--calc" || arg == "--alarm"; }

bool takeBenchOption(const std::string& arg, const std::string& value, BenchOptions& o, std::string& error) {
    if (arg == "--scpi") {
        QString why;
        if (!meterlink::parseScpiAddress(QString::fromLocal8Bit(value.c_str()), &o.scpiAddress, &o.scpiPort, &why)) {
            error = why.toStdString();
            return false;
        }
        o.scpi = true;
        return true;
    }
    if (arg == "--calc") {
        auto parsed = meterlink::Formula::parse(value, channelNames(o));
        if (auto* e = std::get_if<meterlink::FormulaError>(&parsed)) {
            error = "--calc '" + value + "': " + e->text();
            return false;
        }
        o.calcs.push_back(std::get<meterlink::Formula>(parsed));
        return true;
    }
    o.alarmTexts.push_back(value);
    return true;
}

bool checkBenchOptions(BenchOptions& o, std::string& error) {
    for (const auto& text : o.alarmTexts) {
        auto parsed = meterlink::parseAlarm(text, channelNames(o));
        if (auto* e = std::get_if<meterlink::AlarmSpecError>(&parsed)) {
            error = "--alarm '" + text + "': " + e->text();
            return false;
        }
        auto alarm = std::get<meterlink::Alarm>(parsed);
        // log has no chart, logs from its start and publishes only rows.
        for (const auto& action : alarm.actions) {
            using Kind = meterlink::AlarmActionKind;
            const char* refused = action.kind == Kind::Mark           ? "mark: log has no chart"
                                  : action.kind == Kind::StartLogging ? "start: log logs from its start"
                                  : action.kind == Kind::Mqtt         ? "mqtt: log does not publish alarm events yet"
                                                                      : nullptr;
            if (refused) {
                error = "--alarm '" + text + "': " + refused;
                return false;
            }
        }
        o.alarms.push_back(std::move(alarm));
    }
    return true;
}
