#include "bench_options.h"

#include "serve/scpi_server.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <map>

namespace {

std::vector<std::string> channelNames(const BenchOptions& o) {
    std::vector<std::string> names = o.meterNames();
    for (const auto& f : o.calcs) names.push_back(f.name());
    return names;
}

// A whole number from 1 to max, optionally with a time unit (s, m, h, d).
bool readWhole(std::string_view text, bool timeUnits, std::int64_t max, std::int64_t& out) {
    std::int64_t factor = 1;
    if (timeUnits && !text.empty()) {
        static const std::map<char, std::int64_t> kUnits{{'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}};
        const auto unit = kUnits.find(text.back());
        if (unit != kUnits.end()) {
            factor = unit->second;
            text.remove_suffix(1);
        }
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 || value > max / factor)
        return false;
    out = value * factor;
    return true;
}

std::string trimmed(const std::string& s) { return QString::fromStdString(s).trimmed().toStdString(); }

}  // namespace

std::vector<std::string> BenchOptions::meterNames() const {
    std::vector<std::string> names;
    const std::size_t n = channels.size() > 1 ? channels.size() : 1;
    for (std::size_t i = 1; i <= n; ++i) names.push_back("CH" + std::to_string(i));
    return names;
}

const char* benchUsage() {
    return "  --bench FILE    the meters of a bench, one a line: PORT [MODEL]; also\n"
           "                  'calc NAME = FORMULA' and 'alarm CONDITION: ACTION' lines\n"
           "  --scpi [HOST:]PORT  answer SCPI queries on a raw TCP socket (READ?,\n"
           "                  FETCh? (@2), TRACe:DATA? N, ...); localhost unless a HOST\n"
           "                  (an IP address, 0.0.0.0 for all) is given\n"
           "  --calc NAME=FORMULA  a calculated channel over the meters (CH1, CH2, ...)\n"
           "                  and the channels before it, such as 'T = CH1 * 1000 [°C]';\n"
           "                  repeatable; SCPI channels after the meters, in order\n"
           "  --alarm 'CONDITION: ACTION'  such as 'CH1 > 5.5 for 3s hyst 0.1: sound,\n"
           "                  run /usr/local/bin/notify'; actions: sound, message TEXT,\n"
           "                  run PROGRAM ARGS (no shell), stop (ends the run), mqtt TEXT\n"
           "                  (an event on PREFIX/alarm; needs --mqtt), start (a bench:\n"
           "                  starts writing rows); repeatable\n"
           "  --start-at TIME  a bench writes rows from TIME on (HH:MM, HH:MM:SS or\n"
           "                  YYYY-MM-DDTHH:MM:SS, local time)\n"
           "  --start-when CONDITION  a bench writes rows once CONDITION holds\n"
           "                  ('CH1 > 5 for 2s')\n"
           "  --pre-trigger N  with a start trigger: the N rows before it are written too\n"
           "  --stop-after T  a bench stops writing rows T after they started (90, 15m)\n"
           "  --stop-rows N   a bench stops writing rows after N rows\n"
           "  --stop-when CONDITION  a bench stops writing rows once CONDITION holds;\n"
           "                  the run ends when writing has stopped\n"
           "  --wide FILE     a bench also writes FILE: CSV with one column per\n"
           "                  channel and a row per sampling instant\n";
}

bool isBenchOption(const std::string& arg) {
    static const char* const kNames[] = {"--scpi",     "--calc",        "--alarm",     "--bench",    "--start-at",
                                         "--start-when", "--pre-trigger", "--stop-after", "--stop-rows", "--stop-when", "--wide"};
    for (const char* name : kNames)
        if (arg == name) return true;
    return false;
}

bool takeBenchOption(const std::string& arg, const std::string& value, BenchOptions& o, std::string& error) {
    using meterlink::TriggerSettings;
    std::int64_t number = 0;
    if (arg == "--scpi") {
        QString why;
        if (!meterlink::parseScpiAddress(QString::fromLocal8Bit(value.c_str()), &o.scpiAddress, &o.scpiPort, &why)) {
            error = why.toStdString();
            return false;
        }
        o.scpi = true;
    } else if (arg == "--calc") {
        o.calcTexts.push_back(value);
    } else if (arg == "--alarm") {
        o.alarmTexts.push_back(value);
        o.alarmOrigins.push_back("--alarm");
    } else if (arg == "--bench") {
        if (!o.benchFile.isEmpty()) {
            error = "give one --bench FILE";
            return false;
        }
        o.benchFile = QString::fromLocal8Bit(value.c_str());
    } else if (arg == "--wide") {
        if (value.empty()) {
            error = "--wide needs a file name";
            return false;
        }
        o.wideOut = QFileInfo(QString::fromLocal8Bit(value.c_str())).absoluteFilePath();
    } else if (arg == "--start-at") {
        o.startAt = QString::fromLocal8Bit(value.c_str());
    } else if (arg == "--start-when") {
        o.startWhen = value;
    } else if (arg == "--stop-when") {
        o.stopWhen = value;
    } else if (arg == "--pre-trigger") {
        if (!readWhole(value, false, 1000000, number)) {
            error = "--pre-trigger wants a whole number of rows from 1 to 1000000";
            return false;
        }
        o.trigger.preTriggerRows = static_cast<std::size_t>(number);
    } else if (arg == "--stop-rows") {
        if (!readWhole(value, false, INT32_MAX, number)) {
            error = "--stop-rows wants a whole number of rows, at least 1";
            return false;
        }
        o.trigger.stop = TriggerSettings::Stop::AfterRows;
        o.trigger.stopAfterRows = static_cast<std::size_t>(number);
    } else {   // --stop-after
        if (!readWhole(value, true, std::int64_t{100} * 365 * 86400, number)) {
            error = "--stop-after wants a time of at least 1 second: 90, 90s, 15m, 12h or 3d";
            return false;
        }
        o.trigger.stop = TriggerSettings::Stop::AfterDuration;
        o.trigger.stopAfterSeconds = static_cast<double>(number);
    }
    return true;
}

bool checkBenchOptions(BenchOptions& o, bool benchRun, std::string& error) {
    using meterlink::TriggerSettings;
    for (const auto& text : o.calcTexts) {
        auto parsed = meterlink::Formula::parse(text, channelNames(o));
        if (auto* e = std::get_if<meterlink::FormulaError>(&parsed)) {
            error = "--calc '" + text + "': " + e->text();
            return false;
        }
        o.calcs.push_back(std::get<meterlink::Formula>(parsed));
    }
    for (std::size_t i = 0; i < o.alarmTexts.size(); ++i) {
        const std::string& text = o.alarmTexts[i];
        const std::string& origin = o.alarmOrigins[i];
        auto parsed = meterlink::parseAlarm(text, channelNames(o));
        if (auto* e = std::get_if<meterlink::AlarmSpecError>(&parsed)) {
            error = origin + " '" + text + "': " + e->text();
            return false;
        }
        auto alarm = std::get<meterlink::Alarm>(parsed);
        // log has no chart; one meter is logged from the start.
        for (const auto& action : alarm.actions) {
            using Kind = meterlink::AlarmActionKind;
            const char* refused = action.kind == Kind::Mark ? "mark: log has no chart"
                                  : action.kind == Kind::StartLogging && !benchRun
                                      ? "start: one meter is logged from the start (a bench with a start "
                                        "trigger can be started by an alarm)"
                                      : nullptr;
            if (refused) {
                error = origin + " '" + text + "': " + refused;
                return false;
            }
        }
        o.alarms.push_back(std::move(alarm));
    }
    auto condition = [&](const std::string& text, const char* option,
                         std::optional<meterlink::AlarmCondition>& into) {
        auto parsed = meterlink::parseAlarmCondition(text, channelNames(o));
        if (auto* e = std::get_if<meterlink::AlarmSpecError>(&parsed)) {
            error = std::string(option) + " '" + text + "': " + e->text();
            return false;
        }
        into = std::get<meterlink::AlarmCondition>(parsed);
        return true;
    };
    if (!o.startWhen.empty()) {
        if (!condition(o.startWhen, "--start-when", o.trigger.startWhen)) return false;
        o.trigger.start = TriggerSettings::Start::OnCondition;
    }
    if (!o.stopWhen.empty()) {
        if (!condition(o.stopWhen, "--stop-when", o.trigger.stopWhen)) return false;
        o.trigger.stop = TriggerSettings::Stop::OnCondition;
    }
    if (o.startAt && o.trigger.start == TriggerSettings::Start::OnCondition) {
        error = "give one start trigger: --start-at or --start-when";
        return false;
    }
    if (o.startAt) o.trigger.start = TriggerSettings::Start::AtTime;
    if (o.trigger.preTriggerRows > 0 && !o.startAt && o.trigger.start == TriggerSettings::Start::ByHand) {
        bool startAlarm = false;
        for (const auto& a : o.alarms)
            for (const auto& action : a.actions) startAlarm |= action.kind == meterlink::AlarmActionKind::StartLogging;
        if (!startAlarm) {
            error = "--pre-trigger keeps the rows before a start: give --start-at, --start-when or an alarm that "
                    "starts";
            return false;
        }
    }
    return true;
}

bool readBenchFile(const QString& path, std::vector<BenchFileMeter>& meters, BenchOptions& o, std::string& error) {
    QFile file(path);
    const std::string name = path.toLocal8Bit().toStdString();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = "--bench " + name + ": " + file.errorString().toStdString();
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const std::string line = trimmed(QString::fromUtf8(file.readLine()).toStdString());
        if (line.empty() || line[0] == '#') continue;
        const std::string where = name + ":" + std::to_string(number);
        if (line.rfind("calc ", 0) == 0) {
            o.calcTexts.push_back(trimmed(line.substr(5)));
            continue;
        }
        if (line.rfind("alarm ", 0) == 0) {
            o.alarmTexts.push_back(trimmed(line.substr(6)));
            o.alarmOrigins.push_back(where);
            continue;
        }
        const std::size_t blank = line.find_first_of(" \t");
        BenchFileMeter m;
        m.port = line.substr(0, blank);
        if (blank != std::string::npos) m.model = trimmed(line.substr(blank));
        m.line = number;
        meters.push_back(std::move(m));
    }
    if (meters.empty()) {
        error = "--bench " + name + ": no meter in it; a line 'PORT [MODEL]' names one";
        return false;
    }
    return true;
}

bool checkDistinctPorts(const std::vector<BenchChannel>& channels, std::string& error) {
    std::map<QString, std::size_t> seen;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const QFileInfo info(channels[i].port);
        const QString canonical = info.exists() ? info.canonicalFilePath() : channels[i].port;
        const auto [at, fresh] = seen.emplace(canonical, i);
        if (fresh) continue;
        error = "CH" + std::to_string(at->second + 1) + " and CH" + std::to_string(i + 1) + " both read " +
                channels[i].port.toLocal8Bit().toStdString() +
                "; a port can feed one channel only (give each meter its own port)";
        return false;
    }
    return true;
}
