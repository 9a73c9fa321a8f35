#include "log_options.h"

#include "log_out_pattern.h"
#include "links/network_port.h"
#include "protocol/limit_value.h"

#include "protocol/limit_judge.h"
#include "protocol/meter_table.h"
#include "protocol/reading_confirmation.h"
#include "recording/data_files.h"
#include "recording/recording_file.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <string>
#include <climits>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// Whole seconds, optionally with a unit: 90, 90s, 15m, 12h, 3d.
bool parseSeconds(std::string_view text, bool unitsAllowed, std::int64_t max, std::int64_t& seconds) {
    std::int64_t factor = 1;
    if (unitsAllowed && !text.empty()) {
        switch (text.back()) {
        case 's': factor = 1; break;
        case 'm': factor = 60; break;
        case 'h': factor = 3600; break;
        case 'd': factor = 86400; break;
        default: factor = 0; break;
        }
        if (factor != 0) text.remove_suffix(1);
        else factor = 1;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 || value > max / factor)
        return false;
    seconds = value * factor;
    return true;
}

// A limit as the window's edit would take it: the first foreign separator
// becomes the user's; -999999 is not a number.
bool validLimit(std::string text, const std::string& decimalSep) {
    meterlink::fixSeparator(text, decimalSep);
    return meterlink::parseLimit(text, decimalSep).valid;
}

// A name without a folder is a device under /dev, as serial ports are named,
// unless a file of that name is right here.
QString devicePath(const QString& given) {
    if (isNetworkPortName(given)) return given;
    if (!given.contains(QLatin1Char('/')) && !QFileInfo::exists(given))
        return QStringLiteral("/dev/") + given;
    return QFileInfo(given).absoluteFilePath();
}

}  // namespace

const char* logUsage() {
    static const std::string text = std::string(
           "usage: meterlink-cli log (--port DEVICE | --usb [sim:SOCKET]) [--meter MODEL] [--high X] [--low Y]\n"
           "                         [--limit N|limitless] [--interval S] [--no-repeat] [--confirm N]\n"
           "                         [--format text|csv|jsonl] [--out FILE [--append]]\n"
           "                         [--checkpoint S] [--duration T]\n"
           "                         [--mqtt URL [--mqtt-ca FILE] [--mqtt-queue N]]\n"
           "                         [--scpi [HOST:]PORT] [--calc NAME=FORMULA]... [--alarm A]...\n"
           "       meterlink-cli log (--port DEVICE --port DEVICE... | --bench FILE) [--wide FILE]\n"
           "                         [--start-at TIME | --start-when C] [--pre-trigger N]\n"
           "                         [--stop-after T | --stop-rows N | --stop-when C] [...]\n"
           "Logs the meter without a window, by the window's rules, and prints each logged\n"
           "row on standard output (header first), each line ended by LF.\n"
           "\n"
           "Several --port options (each read as the --meter given before it) or a --bench\n"
           "file make a bench: CH1, CH2, ... in order, logged on one clock (every\n"
           "--interval, 1 s when not given) in long form, a record per channel and\n"
           "instant (timestamp,channel,function,value,unit,display,range,verdict): CSV on\n"
           "standard output (--format jsonl: JSON lines), --out .csv or .jsonl, and MQTT\n"
           "PREFIX/CHANNEL/reading. A reading older than two intervals leaves its cell\n"
           "empty. Recording triggers make a bench of one --port too.\n"
           "\n"
           "  --port DEVICE   a serial port (the meter's line settings, exclusive): a path, or a\n"
           "                  name under /dev such as ttyUSB0; tcp://HOST:PORT: a port\n"
           "                  served over the network in raw mode (the server sets the line)\n"
           "  --usb           the meter's USB cable; sim:SOCKET: the cable that\n"
           "                  'meterlink-cli simulate --usb SOCKET' plays\n"
           "  --meter MODEL   the meter's model as 'meterlink-cli meters' lists it: its\n"
           "                  protocol and line settings (default: the shipped meter,\n"
           "                  2400 8N1, DTR on)\n"
           "  --high X        high limit of the Pass/Fail judge (default 6000); with a\n"
           "                  unit after the number (5.5V, \"220 mV\", 1.2k for kilo-ohm,\n"
           "                  \"25 °C\", Hz, %) readings are judged in that unit, and\n"
           "                  one of another quantity or an overload fails\n"
           "  --low Y         low limit (default -6000), the same way\n"
           "  --limit N       record limit: the run ends when N rows are logged\n"
           "                  (limitless is 10000000). Without it there is no limit:\n"
           "                  the disk bounds the run (an XML --out, held in memory\n"
           "                  and rewritten whole, stops at 10000000 rows)\n"
           "  --interval S    log the latest reading every S seconds instead of every\n"
           "                  frame (a bench: its clock, 0.1 or more, default 1)\n"
           "  --no-repeat     skip a reading equal to the last logged one\n"
           "  --confirm N     log a reading only once N frames in a row agree on it, so\n"
           "                  that a frame damaged on a noisy line is not logged (1 to 10;\n"
           "                  1, the default, logs every frame; each step adds a frame's delay)\n"
           "  --format F      what standard output carries: text (the text data file's\n"
           "                  lines, the default), csv or jsonl (JSON lines)\n"
           "  --out FILE      also write the log into FILE, in the format its name picks:\n"
           "                  .csv CSV, .jsonl JSON lines, .xml XML data packet, any\n"
           "                  other tab-separated text. Rows are appended as they are\n"
           "                  logged and synced within a second; an XML packet is\n"
           "                  rewritten whole at every checkpoint and at the end.\n"
           "                  An existing non-empty FILE is never replaced: the run\n"
           "                  stops unless --append is given. FILE may hold strftime\n"
           "                  conversions (run-%Y%m%d.csv, %% for a %): the run writes\n"
           "                  the file they name for the local time, and from each\n"
           "                  midnight on the file they name then (not for XML).\n"
           "                  Rows the disk does not take are held in memory (up to\n"
           "                  64 MiB, beyond which newer rows are not kept for the\n"
           "                  file), tried again every second and written in order\n"
           "  --append        continue an existing text, CSV or JSON-lines --out file;\n"
           "                  numbering goes on after its last row\n"
           "  --checkpoint S  seconds between saves of an XML --out (default 60)\n"
           "  --duration T    end after T seconds (or 15m, 12h, 3d)\n") + mqttUsage() + benchUsage() + std::string(
           "\n"
           "The run ends at the record limit, after --duration, or on SIGINT or SIGTERM,\n"
           "saving --out first. A lost port or cable is looked for every 2 s and logging\n"
           "goes on when it is back. Progress goes to standard error. Exit codes: 0 done,\n"
           "1 writing --out failed (or standard output closed, without --out),\n"
           "2 bad arguments, a source that cannot be opened, an --out that cannot be\n"
           "written or that exists without --append, or an MQTT broker that cannot be\n"
           "used, 3 no frame was received from the source in the whole run.\n");
    return text.c_str();
}

LogParse parseLogOptions(int argc, char** argv, const std::string& decimalSep, LogOptions& o, std::string& error) {
    using Source = LogOptions::Source;
    std::vector<BenchChannel> ports;
    const meterlink::MeterModel* meterBefore = nullptr;   // the last --meter so far
    const meterlink::MeterModel* firstMeter = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return LogParse::Help;
        if (arg == "--no-repeat") {
            o.rules.repeat = false;
            continue;
        }
        if (arg == "--append") {
            o.append = true;
            continue;
        }
        if (arg == "--usb") {
            if (o.source != Source::None) {
                error = "give one source: --port or --usb";
                return LogParse::Error;
            }
            o.source = Source::Usb;
            if (i + 1 < argc && std::strncmp(argv[i + 1], "sim:", 4) == 0) {
                o.usbSocket = QString::fromLocal8Bit(argv[++i] + 4);
                if (o.usbSocket.isEmpty()) {
                    error = "--usb sim: needs the socket's path";
                    return LogParse::Error;
                }
            }
            continue;
        }
        if (isMqttOption(arg)) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return LogParse::Error;
            }
            if (!takeMqttOption(arg, argv[++i], o.mqtt, error)) return LogParse::Error;
            continue;
        }
        if (isBenchOption(arg)) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return LogParse::Error;
            }
            if (!takeBenchOption(arg, argv[++i], o.bench, error)) return LogParse::Error;
            continue;
        }
        static const char* const kWithValue[] = {"--port", "--meter", "--high", "--low", "--limit", "--interval",
                                                 "--out", "--checkpoint", "--duration", "--format",
                                                 "--confirm"};
        if (std::find_if(std::begin(kWithValue), std::end(kWithValue),
                         [&](const char* name) { return arg == name; }) == std::end(kWithValue)) {
            error = "unknown argument '" + arg + "'";
            return LogParse::Error;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return LogParse::Error;
        }
        const std::string value = argv[++i];
        std::int64_t seconds = 0;
        if (arg == "--port") {
            if (o.source == Source::Usb) {
                error = "give one source: --port or --usb";
                return LogParse::Error;
            }
            if (value.empty()) {
                error = "--port needs a device";
                return LogParse::Error;
            }
            o.source = Source::Port;
            // Several ports make a bench: each reads the meter named before it.
            ports.push_back({devicePath(QString::fromLocal8Bit(value.c_str())), meterBefore});
        } else if (arg == "--meter") {
            const meterlink::MeterModel* meter = meterlink::findMeter(value);
            if (!meter) {
                error = "no meter named '" + value + "'; 'meterlink-cli meters' lists them";
                return LogParse::Error;
            }
            if (!firstMeter) firstMeter = meter;
            meterBefore = meter;
            o.rules.meter = meter;
        } else if (arg == "--high" || arg == "--low") {
            if (!validLimit(value, decimalSep)) {
                error = arg + " wants a number written with '" + decimalSep + "', optionally with a unit, not '" +
                        value + "'";
                return LogParse::Error;
            }
            (arg == "--high" ? o.rules.highLimit : o.rules.lowLimit) = value;
        } else if (arg == "--limit") {
            if (value == "limitless") {
                o.rules.recordLimit = meterlink::RecordLogger::kLimitless;
            } else if (parseSeconds(value, false, meterlink::RecordLogger::kLimitless, seconds)) {
                o.rules.recordLimit = static_cast<std::int32_t>(seconds);
            } else {
                error = "--limit wants a whole number of rows from 1 to 10000000, or limitless";
                return LogParse::Error;
            }
            o.limitGiven = true;
        } else if (arg == "--interval" || arg == "--checkpoint") {
            // Timer periods in milliseconds must fit an int.
            if (!parseSeconds(value, false, INT_MAX / 1000, seconds)) {
                // A bench's clock may tick faster than once a second.
                double fraction = 0;
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), fraction);
                if (arg == "--interval" && ec == std::errc() && end == value.data() + value.size() &&
                    fraction >= 0.1 && fraction < 1) {
                    o.bench.intervalSeconds = fraction;
                    continue;
                }
                error = arg + " wants a whole number of seconds, at least 1";
                return LogParse::Error;
            }
            (arg == "--interval" ? o.rules.intervalSeconds : o.checkpointSeconds) = static_cast<int>(seconds);
            if (arg == "--interval") o.bench.intervalSeconds = static_cast<double>(seconds);
        } else if (arg == "--confirm") {
            std::int64_t frames = 0;
            if (!parseSeconds(value, false, meterlink::ReadingConfirmation::kMostFrames, frames)) {
                error = "--confirm wants a whole number of frames from 1 to " +
                        std::to_string(meterlink::ReadingConfirmation::kMostFrames);
                return LogParse::Error;
            }
            o.rules.confirmFrames = static_cast<int>(frames);
        } else if (arg == "--duration") {
            if (!parseSeconds(value, true, std::int64_t{100} * 365 * 86400, o.durationSeconds)) {
                error = "--duration wants a time of at least 1 second: 90, 90s, 15m, 12h or 3d";
                return LogParse::Error;
            }
        } else if (arg == "--format") {
            o.format = meterlink::rowFormatByName(value);
            if (!o.format) {
                error = "--format wants one of " + meterlink::rowFormatNames() + ", not '" + value + "'";
                return LogParse::Error;
            }
        } else {   // --out
            if (value.empty()) {
                error = "--out needs a file name";
                return LogParse::Error;
            }
            o.out = QFileInfo(QString::fromLocal8Bit(value.c_str())).absoluteFilePath();
        }
    }
    if (!o.bench.benchFile.isEmpty()) {
        if (o.source != Source::None) {
            error = "give the meters either as --port options or in --bench FILE, not both";
            return LogParse::Error;
        }
        std::vector<BenchFileMeter> listed;
        if (!readBenchFile(o.bench.benchFile, listed, o.bench, error)) return LogParse::Error;
        for (const auto& m : listed) {
            const meterlink::MeterModel* meter = firstMeter;
            if (!m.model.empty() && !(meter = meterlink::findMeter(m.model))) {
                error = "--bench " + o.bench.benchFile.toLocal8Bit().toStdString() + ":" + std::to_string(m.line) +
                        ": no meter named '" + m.model + "'; 'meterlink-cli meters' lists them";
                return LogParse::Error;
            }
            ports.push_back({devicePath(QString::fromLocal8Bit(m.port.c_str())), meter});
        }
        o.source = Source::Port;
    }
    if (o.source == Source::None) {
        error = "give a source: --port DEVICE or --usb";
        return LogParse::Error;
    }
    // Ports named before any --meter read the first one given (--port P --meter M).
    for (auto& p : ports)
        if (!p.meter) p.meter = firstMeter;
    if (!ports.empty()) {
        o.port = ports.front().port;
        if (ports.size() == 1) o.rules.meter = ports.front().meter;
    }
    if (ports.size() > 1 || !o.bench.benchFile.isEmpty() || o.bench.triggered()) {
        if (o.source == Source::Usb) {
            error = "a bench, and recording triggers, read meters on serial ports: give --port";
            return LogParse::Error;
        }
        o.bench.channels = ports;
        if (!checkDistinctPorts(o.bench.channels, error)) return LogParse::Error;
    }
    if (!checkMqttOptions(o.mqtt, error)) return LogParse::Error;
    if (!checkBenchOptions(o.bench, o.benchRun(), error)) return LogParse::Error;
    for (const auto& alarm : o.bench.alarms)
        for (const auto& action : alarm.actions)
            if (action.kind == meterlink::AlarmActionKind::Mqtt && !o.mqtt.target) {
                error = "--alarm '" + alarm.text + "': mqtt publishes to the broker of --mqtt URL; give it";
                return LogParse::Error;
            }
    if (o.benchRun() && !o.rules.repeat) {
        error = "--no-repeat: a bench writes every channel at every instant, equal or not";
        return LogParse::Error;
    }
    if (o.bench.intervalSeconds > 0 && o.bench.intervalSeconds < 1 && !o.benchRun()) {
        error = "--interval wants a whole number of seconds, at least 1 (a bench of meters takes 0.1 to 1)";
        return LogParse::Error;
    }
    if (!o.bench.wideOut.isEmpty() && !o.benchRun()) {
        error = "--wide writes a bench's channels side by side: give two or more --port options or --bench FILE";
        return LogParse::Error;
    }
    if (o.benchRun() && !o.out.isEmpty()) {
        if (!meterlink::RecordingFile::fits(o.out)) {
            error = "--out: a bench writes its channels in long form, as CSV (.csv) or JSON lines (.jsonl)";
            return LogParse::Error;
        }
        if (isOutPattern(o.out)) {
            error = "--out: a bench writes one file; give a name without a date pattern";
            return LogParse::Error;
        }
    }
    if (o.append && o.out.isEmpty()) {
        error = "--append continues an --out file; give --out FILE";
        return LogParse::Error;
    }
    const bool xml = !o.out.isEmpty() && meterlink::dataFileFormat(o.out) == meterlink::DataFileFormat::Xml;
    if (xml && isOutPattern(o.out)) {
        error = "--out: a date pattern needs a text, CSV or JSON-lines file; an XML packet is written whole";
        return LogParse::Error;
    }
    // A run without --limit goes on until stopped; an XML packet holds the
    // whole log in memory, so it keeps the window's largest limit.
    if (!o.limitGiven)
        o.rules.recordLimit = xml ? meterlink::RecordLogger::kLimitless : std::numeric_limits<std::int32_t>::max();
    return LogParse::Run;
}
