#include "log_bench.h"

#include "protocol/si_value.h"
#include "recording/export_fields.h"
#include "recording/json_lines_writer.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace {

using namespace meterlink;

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Decoded {
    ScpiReading scpi;
    ConditionInput condition;
};

Decoded decode(const MeterReading& r, const std::string& sep, double time) {
    const SiValue si = toSiValue(r.ValueText, r.UnitText, sep);
    Decoded d;
    d.scpi.hasValue = si.hasValue;
    d.scpi.value = si.value;
    d.scpi.overload = si.overload;
    d.scpi.negative = r.ValueText.find('-') != std::string::npos;
    d.scpi.function = r.FunctionText;
    d.scpi.unit = std::string(si.unit);
    d.condition.time = time;
    d.condition.hasValue = si.hasValue || si.overload;
    d.condition.value = si.overload ? (d.scpi.negative ? -kInf : kInf) : si.value;
    d.condition.fail = r.JudgeText == "Fail";
    return d;
}

}  // namespace

std::string alarmEventJson(const Alarm& alarm, const AlarmEvent& event, const std::string& text) {
    std::string out = "{\"timestamp\":\"";
    appendIsoTime(out, FullTime::now());
    out += "\",\"alarm\":";
    appendJsonString(out, alarm.text);
    out += ",\"channel\":";
    appendJsonString(out, event.channel);
    out += ",\"value\":";
    if (event.hasValue && std::isfinite(event.value))
        appendShortestDouble(out, event.value);
    else
        out += "null";
    out += ",\"unit\":";
    appendJsonString(out, event.unit);
    out += ",\"text\":";
    appendJsonString(out, text);
    out += '}';
    return out;
}

LogBench::LogBench(const BenchOptions& options, int intervalSeconds, std::optional<double> lowLimit,
                   std::optional<double> highLimit, std::string identity, Hooks hooks)
    : options_(options),
      lowLimit_(lowLimit),
      highLimit_(highLimit),
      identity_(std::move(identity)),
      hooks_(std::move(hooks)),
      scpi_(1 + int(options.calcs.size()), std::chrono::seconds(intervalSeconds > 0 ? intervalSeconds : 1)),
      monitor_(options.alarms) {
    clock_.start();
    const double interval = intervalSeconds > 0 ? intervalSeconds : 1.0;
    board_.addChannel("CH1", interval);
    for (const auto& f : options_.calcs) {
        board_.addChannel(f.name(), interval);
        for (const auto& [channel, count] : f.readingsNeeded()) board_.keepReadings(channel, count);
    }
    // Silence is noticed between readings.
    tick_.setInterval(500);
    connect(&tick_, &QTimer::timeout, this, [this] { handle(monitor_.tick(now())); });
    if (!options_.alarms.empty()) tick_.start();
}

bool LogBench::start(QString& why) {
    if (!options_.scpi) return true;
    server_ = std::make_unique<ScpiServer>(scpi_, identity_);
    connect(server_.get(), &ScpiServer::clientDropped, this, [this](const QString& peer, const QString& reason) {
        hooks_.notice(QStringLiteral("SCPI client %1 dropped: %2").arg(peer, reason));
    });
    if (!server_->listen(options_.scpiAddress, options_.scpiPort)) {
        why = server_->errorString();
        return false;
    }
    hooks_.notice(QStringLiteral("answering SCPI on %1:%2").arg(options_.scpiAddress.toString()).arg(server_->port()));
    return true;
}

void LogBench::reading(const MeterReading& r, const std::string& decimalSep) {
    const double t = now();
    Decoded d = decode(r, decimalSep, t);
    d.condition.lowLimit = lowLimit_;
    d.condition.highLimit = highLimit_;
    scpi_.setLatest(1, d.scpi);
    board_.add("CH1", {t, d.scpi.hasValue, d.scpi.value, d.scpi.unit});
    handle(monitor_.reading("CH1", d.condition, d.scpi.unit));
    int channel = 2;
    for (const auto& f : options_.calcs) {
        const FormulaValue v = f.evaluate(board_, t);
        board_.add(f.name(), {t, v.hasValue, v.value, v.unit});
        ScpiReading s;
        s.hasValue = v.hasValue;
        s.value = v.value;
        s.unit = v.unit;
        scpi_.setLatest(channel++, s);
        ConditionInput in;
        in.time = t;
        in.hasValue = v.hasValue;
        in.value = v.value;
        handle(monitor_.reading(f.name(), in, v.unit));
    }
}

void LogBench::rowLogged(const MeterReading& r, const std::string& decimalSep) {
    Decoded d = decode(r, decimalSep, now());
    scpi_.appendRow(1, ScpiRow{d.scpi.hasValue, d.scpi.overload, d.scpi.negative, d.scpi.value});
    int channel = 2;
    for (const auto& f : options_.calcs) {
        const auto* history = board_.history(f.name());
        ScpiRow row;
        if (history && !history->empty()) {
            row.hasValue = history->back().hasValue;
            row.value = history->back().value;
        }
        scpi_.appendRow(channel++, row);
    }
}

void LogBench::handle(const std::vector<AlarmEvent>& events) {
    for (const auto& e : events) {
        const Alarm& alarm = monitor_.alarms()[e.alarm];
        const QString reading = e.hasValue ? QStringLiteral("%1 %2").arg(e.value, 0, 'g', 10).arg(QString::fromStdString(e.unit))
                                           : QStringLiteral("no value");
        const QString name = QString::fromStdString(alarm.text);
        if (e.change == ConditionChange::Cleared) {
            hooks_.notice(QStringLiteral("alarm cleared: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
            continue;
        }
        hooks_.notice(QStringLiteral("alarm: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
        for (const auto& action : e.actions) {
            switch (action.kind) {
            case AlarmActionKind::Sound: hooks_.sound(); break;
            case AlarmActionKind::Message: hooks_.notice(QString::fromStdString(action.text)); break;
            case AlarmActionKind::StopLogging: hooks_.stop(QStringLiteral("stopped by alarm ") + name); break;
            case AlarmActionKind::Run: {
                const CommandReading r = commandReadingOf(e, name);
                runner_.run(action.argv, r, [this](const CommandOutcome& o) {
                    if (!o.error.isEmpty())
                        hooks_.notice(QStringLiteral("alarm command %1: %2").arg(o.argv.value(0), o.error));
                });
                break;
            }
            case AlarmActionKind::Mqtt:
                if (hooks_.mqtt) hooks_.mqtt(QByteArray::fromStdString(alarmEventJson(alarm, e, action.text)));
                break;
            default: break;   // refused when the options were read
            }
        }
    }
}
