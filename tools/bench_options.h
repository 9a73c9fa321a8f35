#pragma once
// meterlink-cli log's options for a bench: several meters (CH1, CH2, ...),
// a SCPI server, calculated channels, alarms and recording triggers. The
// meters come first; calculated channels follow them, in the order given,
// on the SCPI server as the channels after the meters.

#include "channels/alarm.h"
#include "channels/formula.h"
#include "channels/recording_trigger.h"

#include <QHostAddress>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace meterlink {
struct MeterModel;
}

// One meter of a bench: its port and model (nullptr: the shipped meter).
struct BenchChannel {
    QString port;
    const meterlink::MeterModel* meter = nullptr;
};

struct BenchOptions {
    bool scpi = false;
    QHostAddress scpiAddress;
    quint16 scpiPort = 0;
    std::vector<BenchChannel> channels;    // two or more: a bench of meters
    QString benchFile;                     // --bench, when given
    QString wideOut;                       // --wide: the wide CSV of a bench
    double intervalSeconds = 0;            // --interval; a bench's may be a fraction; 0: 1 s
    std::vector<meterlink::Formula> calcs;
    std::vector<std::string> calcTexts;    // as given, parsed once every meter is known
    std::vector<meterlink::Alarm> alarms;
    std::vector<std::string> alarmTexts;   // as given, parsed once every channel is known
    std::vector<std::string> alarmOrigins; // for messages: "--alarm" or "FILE:LINE"

    // Recording triggers: when rows start and stop being written.
    meterlink::TriggerSettings trigger;
    std::optional<QString> startAt;        // --start-at as given
    std::string startWhen;                 // --start-when, parsed with the alarms
    std::string stopWhen;                  // --stop-when
    bool triggered() const {
        return startAt || !startWhen.empty() || !stopWhen.empty() ||
               trigger.stop != meterlink::TriggerSettings::Stop::ByHand || trigger.preTriggerRows > 0;
    }
    // The meters' names, CH1 ... CHn (CH1 alone without a bench).
    std::vector<std::string> meterNames() const;
};

const char* benchUsage();
bool isBenchOption(const std::string& arg);
// On false, error says what is wrong, with the position in the text.
bool takeBenchOption(const std::string& arg, const std::string& value, BenchOptions& o, std::string& error);
// After all options: calculated channels may name every meter, alarms and
// triggers every channel.
bool checkBenchOptions(BenchOptions& o, bool benchRun, std::string& error);

// Reads a bench file: one meter a line, "PORT [MODEL]" (CH1 first), and
// lines "calc NAME = FORMULA" and "alarm CONDITION: ACTION"; blank lines and
// lines starting with # are skipped. Ports are returned as written.
struct BenchFileMeter {
    std::string port;
    std::string model;   // empty: the --meter given, or the shipped meter
    int line = 0;
};
bool readBenchFile(const QString& path, std::vector<BenchFileMeter>& meters, BenchOptions& o, std::string& error);

// Two channels on one port would read each other's bytes: refused, naming
// both. Ports are compared as the files they are (a link and its device).
bool checkDistinctPorts(const std::vector<BenchChannel>& channels, std::string& error);
