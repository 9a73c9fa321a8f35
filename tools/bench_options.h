#pragma once
// meterlink-cli log's options for a bench: a SCPI server, calculated
// channels and alarms. The meter is CH1; calculated channels follow it, in
// the order given, on the SCPI server as channels 2, 3, ...

#include "channels/alarm.h"
#include "channels/formula.h"

#include <QHostAddress>

#include <string>
#include <vector>

struct BenchOptions {
    bool scpi = false;
    QHostAddress scpiAddress;
    quint16 scpiPort = 0;
    std::vector<meterlink::Formula> calcs;
    std::vector<meterlink::Alarm> alarms;
    std::vector<std::string> alarmTexts;   // as given, parsed once every channel is known
};

const char* benchUsage();
bool isBenchOption(const std::string& arg);
// On false, error says what is wrong, with the position in the text.
bool takeBenchOption(const std::string& arg, const std::string& value, BenchOptions& o, std::string& error);
// After all options: alarms may name calculated channels given after them.
bool checkBenchOptions(BenchOptions& o, std::string& error);
