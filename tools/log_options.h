#pragma once
// The command line of meterlink-cli log, read into what the run needs.
// Limits are checked with the decimal separator the readings will carry.

#include "bench_options.h"
#include "log_session.h"
#include "mqtt_options.h"
#include "recording/row_formats.h"

#include <QString>

#include <cstdint>
#include <string>

struct LogOptions {
    enum class Source { None, Port, Usb };
    Source source = Source::None;
    QString port;         // an absolute path
    QString usbSocket;    // the simulated cable's socket; empty: the system's cable
    meterlink::LogSession::Rules rules;   // without --limit: no record limit (see parseLogOptions)
    bool limitGiven = false;
    QString out;          // empty: standard output only; may be a date pattern
    bool append = false;  // continue an existing --out file
    const meterlink::RowFormat* format = &meterlink::textRowFormat();   // of standard output
    int checkpointSeconds = 60;
    std::int64_t durationSeconds = 0;   // 0: until stopped or full
    MqttOptions mqtt;
    BenchOptions bench;

    // Several meters, a bench file or recording triggers: the meters are
    // logged together on one clock, in long form.
    bool benchRun() const { return !bench.channels.empty(); }
};

const char* logUsage();

enum class LogParse { Run, Help, Error };

// On Error, error says what is wrong in a sentence.
LogParse parseLogOptions(int argc, char** argv, const std::string& decimalSep, LogOptions& options,
                         std::string& error);
