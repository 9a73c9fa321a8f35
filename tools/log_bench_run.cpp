#include "log_bench_run.h"

#include "log_session.h"

#include "protocol/limit_value.h"
#include "protocol/meter_table.h"
#include "protocol/si_value.h"
#include "recording/row_formats.h"
#include "recording/unit_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <cerrno>
#include <cmath>
#include <iostream>
#include <limits>

#include <unistd.h>

namespace {

using namespace meterlink;

constexpr int kBrokerAnswerMs = 10000;
constexpr int kMqttGraceMs = 3000;
constexpr int kAlarmTickMs = 500;
constexpr std::size_t kHeldBytesLimit = std::size_t{64} << 20;
constexpr double kInf = std::numeric_limits<double>::infinity();
// Wide rows held until every column's unit is known.
constexpr std::size_t kWideRowsHeld = 64;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool jsonLines(const QString& path) { return rowFormatForFile(path).name == std::string_view("jsonl"); }

RecordTable::Range rangeOf(const MeterReading& r) {
    if (r.AutoText == "AUTO") return RecordTable::Range::Auto;
    if (r.AutoText == "MANU") return RecordTable::Range::Manual;
    return RecordTable::Range::Unknown;
}

RowView viewOf(const MeterReading& r) {
    RowView v;
    v.function = r.FunctionText;
    v.value = r.ValueText;
    v.unit = r.UnitText;
    v.verdict = r.JudgeText;
    v.range = rangeOf(r);
    return v;
}

// --start-at: a time of day today (tomorrow once it has passed) or a full local date and time.
std::optional<QDateTime> startTime(const QString& text) {
    for (const char* format : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm"}) {
        const QDateTime at = QDateTime::fromString(text, QLatin1String(format));
        if (at.isValid()) return at;
    }
    for (const char* format : {"HH:mm:ss", "HH:mm"}) {
        const QTime time = QTime::fromString(text, QLatin1String(format));
        if (!time.isValid()) continue;
        QDateTime at(QDate::currentDate(), time);
        if (at < QDateTime::currentDateTime()) at = at.addDays(1);
        return at;
    }
    return std::nullopt;
}

}  // namespace

BenchRun::BenchRun(const LogOptions& options, const ModelProfile& profile, std::string identity)
    : options_(options),
      sep_(QLocale().decimalPoint().toStdString()),
      identity_(std::move(identity)),
      scpi_(int(options.bench.channels.size() + options.bench.calcs.size()),
            std::chrono::milliseconds(std::int64_t(interval() * 1000))),
      monitor_(options.bench.alarms),
      trigger_(options.bench.trigger),
      status_([this] { return statusText(); }, ::isatty(STDERR_FILENO) == 1) {
    clock_.start();
    const double every = interval();
    for (std::size_t i = 0; i < options_.bench.channels.size(); ++i) {
        const BenchChannel& c = options_.bench.channels[i];
        Meter m;
        m.name = "CH" + std::to_string(i + 1);
        LogSession::Rules rules = options_.rules;
        rules.meter = c.meter;
        // Every confirmed reading reaches the bench; its clock makes the rows.
        rules.intervalSeconds = 0;
        rules.repeat = true;
        rules.recordLimit = RecordLogger::kLimitless;
        m.session = std::make_unique<LogSession>(rules, profile.fullCount);
        const MeterModel& meter = c.meter ? *c.meter : defaultMeter();
        LineSettings line = meter.line;
        if (&meter == &defaultMeter()) line.baud = profile.serialBaud;
        m.source = std::make_unique<SerialMeterSource>(*m.session, c.port, line);
        board_.addChannel(m.name, every);
        meters_.push_back(std::move(m));
    }
    for (std::size_t i = 0; i < meters_.size(); ++i) {
        Meter& m = meters_[i];
        connect(m.session.get(), &LogSession::rowLogged, this, [this, i] { meterReading(i); });
        connect(m.session.get(), &LogSession::framelessBytes, this, [this, i] {
            status_.event(QString::fromStdString(meters_[i].name) + QStringLiteral(": ") +
                          QString::fromStdString(framelessBytesNotice(
                              meterName(options_.bench.channels[i].meter ? *options_.bench.channels[i].meter
                                                                         : defaultMeter()))));
        });
        const QString name = QString::fromStdString(m.name);
        connect(m.source.get(), &MeterSource::lost, this, [this, i, name](const QString& reason) {
            status_.event(QStringLiteral("%1 %2 lost (%3); trying again every %4 s; its cells stay empty meanwhile")
                              .arg(name, meters_[i].source->name(), reason)
                              .arg(MeterSource::kRetryMs / 1000));
        });
        connect(m.source.get(), &MeterSource::returned, this, [this, i, name] {
            status_.event(QStringLiteral("%1 %2 is back").arg(name, meters_[i].source->name()));
        });
        connect(m.source.get(), &MeterSource::notice, this,
                [this, name](const QString& text) { status_.event(name + QStringLiteral(": ") + text); });
    }
    for (const auto& f : options_.bench.calcs) {
        board_.addChannel(f.name(), every);
        for (const auto& [channel, count] : f.readingsNeeded()) board_.keepReadings(channel, count);
    }
    if (options_.mqtt.target) {
        mqtt_ = std::make_unique<MqttPublisher>(
            MqttPublisher::Settings{*options_.mqtt.target, options_.mqtt.caFile, options_.mqtt.queueLimit});
        connect(mqtt_.get(), &MqttPublisher::notice, this, [this](const QString& text) { status_.event(text); });
    }
    for (const auto& alarm : options_.bench.alarms)
        for (const auto& action : alarm.actions) startsByHand_ |= action.kind == AlarmActionKind::StartLogging;
    sampling_.setTimerType(Qt::PreciseTimer);
    sampling_.setInterval(int(every * 1000));
    connect(&sampling_, &QTimer::timeout, this, &BenchRun::tick);
    alarmTick_.setInterval(kAlarmTickMs);
    connect(&alarmTick_, &QTimer::timeout, this, [this] { handle(monitor_.tick(now())); });
    connect(&stop_, &StopSignalNotifier::stopRequested, this,
            [this](int number) { end(QStringLiteral("stopped by ") + StopSignalNotifier::signalName(number)); });
}

BenchRun::~BenchRun() = default;

std::optional<int> BenchRun::fail(const QString& what, const QString& why) {
    std::cerr << "meterlink-cli log: " << what.toLocal8Bit().constData() << ": " << why.toLocal8Bit().constData()
              << '\n';
    return 2;
}

bool BenchRun::prepare(OutFile& out, const QString& path, QString& why) {
    out.path = path;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        why = QStringLiteral("it is not a regular file (a folder, FIFO or device); give a file");
        return false;
    }
    if (info.exists() && info.size() > 0 && !options_.append) {
        why = QStringLiteral("the file exists and is not empty; give another name, or --append");
        return false;
    }
    out.empty = !info.exists() || info.size() == 0;
    return true;
}

std::optional<int> BenchRun::start() {
    QString why;
    if (!options_.out.isEmpty() && !prepare(out_, options_.out, why))
        return fail("cannot write " + options_.out, why);
    if (!options_.bench.wideOut.isEmpty() && !prepare(wide_, options_.bench.wideOut, why))
        return fail("cannot write " + options_.bench.wideOut, why);
    if (options_.bench.startAt) {
        const auto at = startTime(*options_.bench.startAt);
        if (!at) return fail("--start-at " + *options_.bench.startAt, QStringLiteral("give HH:MM, HH:MM:SS or YYYY-MM-DDTHH:MM:SS"));
        TriggerSettings settings = options_.bench.trigger;
        settings.startTime = double(QDateTime::currentDateTime().msecsTo(*at)) / 1000.0 + now();
        trigger_ = RecordingTrigger<BenchRow>(settings);
    }
    for (auto& m : meters_)
        if (!m.source->open(why)) return fail(QStringLiteral("cannot open %1 (%2)").arg(m.source->name(), QString::fromStdString(m.name)), why);
    int stopSignal = 0;
    const auto stopAsked = [&] { return (stopSignal = stop_.takeRequest()) != 0; };
    if (mqtt_ && !mqtt_->start(why, kBrokerAnswerMs, stopAsked)) {
        if (stopSignal == 0) return fail("cannot publish to " + options_.mqtt.target->where(), why);
        status_.event(QStringLiteral("stopped by %1 before the MQTT broker answered; nothing was logged")
                          .arg(StopSignalNotifier::signalName(stopSignal)));
        return 0;
    }
    if (options_.bench.scpi) {
        server_ = std::make_unique<ScpiServer>(scpi_, identity_);
        connect(server_.get(), &ScpiServer::clientDropped, this, [this](const QString& peer, const QString& reason) {
            status_.event(QStringLiteral("SCPI client %1 dropped: %2").arg(peer, reason));
        });
        if (!server_->listen(options_.bench.scpiAddress, options_.bench.scpiPort))
            return fail("cannot answer SCPI on --scpi's address", server_->errorString());
        status_.event(QStringLiteral("answering SCPI on %1:%2")
                          .arg(options_.bench.scpiAddress.toString())
                          .arg(server_->port()));
    }
    // The files are made only once the ports are open: a run that cannot start leaves none behind.
    for (OutFile* out : {&out_, &wide_}) {
        if (out->path.isEmpty()) continue;
        if (!out->file.open(out->path)) return fail("cannot write " + out->path, out->file.error());
    }
    QStringList names;
    for (const auto& m : meters_)
        names << QStringLiteral("%1 %2").arg(QString::fromStdString(m.name), m.source->name());
    status_.event(QStringLiteral("logging a bench: %1, every %2 s%3")
                      .arg(names.join(QStringLiteral(", ")))
                      .arg(interval())
                      .arg(options_.out.isEmpty() ? QString() : QStringLiteral(" into ") + options_.out));
    std::string header;
    if (options_.format->name != std::string_view("jsonl")) appendBenchCsvHeader(header, "\n");
    if (!header.empty() && !writeAll(STDOUT_FILENO, header.data(), header.size())) stdoutOpen_ = false;
    const bool waits = options_.bench.trigger.start != TriggerSettings::Start::ByHand || startsByHand_;
    if (!waits) trigger_.startByHand(now());
    else status_.event(QStringLiteral("waiting for the start trigger"));
    sampling_.start();
    if (!options_.bench.alarms.empty()) alarmTick_.start();
    if (options_.durationSeconds > 0) {
        deadline_.setRemainingTime(options_.durationSeconds * 1000, Qt::VeryCoarseTimer);
        duration_.setSingleShot(true);
        connect(&duration_, &QTimer::timeout, this, [this] {
            if (deadline_.hasExpired()) end(QStringLiteral("--duration elapsed"));
            else duration_.start(int(std::min<qint64>(deadline_.remainingTime(), 86400000)));
        });
        duration_.start(int(std::min<qint64>(deadline_.remainingTime(), 86400000)));
    }
    status_.changed();
    return std::nullopt;
}

void BenchRun::meterReading(std::size_t index) {
    Meter& m = meters_[index];
    // Only the latest reading matters to the bench; the table need not grow.
    if (m.session->table().rowCount() >= 64) m.session->forgetRows();
    const double t = now();
    m.lastTime = t;
    const MeterReading& r = m.session->reading();
    const SiValue si = toSiValue(r.ValueText, r.UnitText, sep_);
    const bool negative = r.ValueText.find('-') != std::string::npos;
    board_.add(m.name, {t, si.hasValue, si.value, std::string(si.unit)});
    ScpiReading s;
    s.hasValue = si.hasValue;
    s.value = si.value;
    s.overload = si.overload;
    s.negative = negative;
    s.function = r.FunctionText;
    s.unit = std::string(si.unit);
    scpi_.setLatest(int(index) + 1, s);
    ConditionInput in;
    in.time = t;
    in.hasValue = si.hasValue || si.overload;
    in.value = si.overload ? (negative ? -kInf : kInf) : si.value;
    in.fail = r.JudgeText == "Fail";
    const LimitValue high = parseLimit(options_.rules.highLimit, sep_);
    const LimitValue low = parseLimit(options_.rules.lowLimit, sep_);
    if (high.valid && high.hasUnit) in.highLimit = high.value;
    if (low.valid && low.hasUnit) in.lowLimit = low.value;
    handle(monitor_.reading(m.name, in, s.unit));
    status_.changed();
}

BenchRow BenchRun::takeRow(double t) {
    BenchRow row;
    row.time = FullTime::now();
    const double stale = 2 * interval();
    for (const Meter& m : meters_) {
        // A reading older than twice the interval is not this instant's: the cell stays empty.
        if (m.lastTime < 0 || t - m.lastTime > stale)
            row.samples.push_back(missingSample(m.name));
        else
            row.samples.push_back(meterSample(m.name, viewOf(m.session->reading()), sep_));
    }
    int channel = int(meters_.size()) + 1;
    for (const auto& f : options_.bench.calcs) {
        const FormulaValue v = f.evaluate(board_, t);
        board_.add(f.name(), {t, v.hasValue, v.value, v.unit});
        BenchSample s;
        s.channel = f.name();
        s.function = "CALC";
        s.hasValue = v.hasValue;
        s.value = v.value;
        s.unit = v.unit;
        row.samples.push_back(s);
        ScpiReading r;
        r.hasValue = v.hasValue;
        r.value = v.value;
        r.unit = v.unit;
        scpi_.setLatest(channel++, r);
        ConditionInput in;
        in.time = t;
        in.hasValue = v.hasValue;
        in.value = v.value;
        handle(monitor_.reading(f.name(), in, v.unit));
    }
    return row;
}

void BenchRun::tick() {
    if (ended_) return;
    const double t = now();
    BenchRow row = takeRow(t);
    if (ended_) return;   // an alarm ended the run
    // The trigger watches its condition's channel.
    ConditionInput watched;
    watched.time = t;
    const AlarmCondition* condition = trigger_.state() == TriggerState::Waiting
                                          ? (options_.bench.trigger.startWhen ? &*options_.bench.trigger.startWhen : nullptr)
                                          : (options_.bench.trigger.stopWhen ? &*options_.bench.trigger.stopWhen : nullptr);
    if (condition) {
        for (const auto& s : row.samples) {
            if (ChannelBoard::key(s.channel) != condition->channel) continue;
            watched.hasValue = s.hasValue;
            watched.value = s.value;
            watched.fail = s.verdict == "fail";
        }
    }
    const TriggerState before = trigger_.state();
    write(trigger_.offer(t, watched, std::move(row)));
    if (before == TriggerState::Waiting && trigger_.state() != TriggerState::Waiting)
        status_.event(QStringLiteral("start trigger: writing rows"));
    trigger_.tick(t);
    if (trigger_.state() == TriggerState::Done) end(QStringLiteral("the stop trigger ended the recording"));
    else if (rowsWritten_ >= options_.rules.recordLimit)
        end(QStringLiteral("record limit of %1 rows reached").arg(options_.rules.recordLimit));
}

void BenchRun::write(const std::vector<BenchRow>& rows) {
    for (const BenchRow& row : rows) {
        ++rowsWritten_;
        std::string csv, json;
        appendBenchCsvRecords(csv, row, "\n");
        if (options_.format->name == std::string_view("jsonl") || jsonLines(out_.path))
            appendBenchJsonLines(json, row, "\n");
        // The file first: a row printed is a row kept.
        if (!out_.path.isEmpty()) {
            std::string bytes;
            if (out_.empty && !jsonLines(out_.path)) appendBenchCsvHeader(bytes, "\n");
            bytes += jsonLines(out_.path) ? json : csv;
            writeOut(out_, bytes);
        }
        if (!wide_.path.isEmpty()) {
            if (wideHeader_) {
                std::string bytes;
                wideCsv_.appendRow(bytes, row, "\n");
                writeOut(wide_, bytes);
            } else {
                // The columns' units come from the first rows that show them.
                widePending_.push_back(row);
                if (BenchWideCsv::unitsKnown(widePending_) || widePending_.size() >= kWideRowsHeld) flushWide();
            }
        }
        if (mqtt_) {
            for (const auto& s : row.samples) {
                std::string one;
                appendBenchJsonObject(one, row.time, s);
                mqtt_->publishTo(QString::fromStdString(s.channel) + QStringLiteral("/reading"),
                                 QByteArray::fromStdString(one));
            }
        }
        for (std::size_t i = 0; i < row.samples.size(); ++i) {
            const BenchSample& s = row.samples[i];
            scpi_.appendRow(int(i) + 1, ScpiRow{s.hasValue, false, false, s.value});
        }
        if (stdoutOpen_) {
            const std::string& line = options_.format->name == std::string_view("jsonl") ? json : csv;
            status_.clearForOutput();
            if (!writeAll(STDOUT_FILENO, line.data(), line.size())) {
                stdoutOpen_ = false;
                if (out_.path.isEmpty()) {
                    exitCode_ = 1;
                    end(QStringLiteral("standard output is closed, and there is no --out to log into"));
                }
            }
            status_.outputDone();
        }
    }
    status_.changed();
}

void BenchRun::flushWide() {
    if (widePending_.empty()) return;
    std::string bytes;
    wideCsv_.appendHeader(bytes, widePending_, "\n");
    // An appended wide file keeps its own header.
    if (!wide_.empty) bytes.clear();
    for (const BenchRow& row : widePending_) wideCsv_.appendRow(bytes, row, "\n");
    widePending_.clear();
    wideHeader_ = true;
    writeOut(wide_, bytes);
}

void BenchRun::writeOut(OutFile& out, const std::string& bytes) {
    // Rows the disk refused go first, in order.
    if (out.held.size() + bytes.size() > kHeldBytesLimit) {
        exitCode_ = 1;
        if (!out.dropping)
            status_.event(QStringLiteral("the rows held for %1 fill their %2 MiB; newer rows are not kept for it "
                                         "(still printed)")
                              .arg(out.path)
                              .arg(kHeldBytesLimit >> 20));
        out.dropping = true;
        return;
    }
    out.held += bytes;
    if (out.file.append(out.held.data(), out.held.size())) {
        if (out.failed) status_.event(QStringLiteral("writing %1 again: the rows held were written").arg(out.path));
        out.failed = false;
        out.dropping = false;
        out.held.clear();
        out.empty = false;
        return;
    }
    if (!out.failed)
        status_.event(QStringLiteral("cannot write %1 (%2); rows are held in memory and written when it takes them")
                          .arg(out.path, out.file.error()));
    out.failed = true;
}

void BenchRun::handle(const std::vector<AlarmEvent>& events) {
    for (const auto& e : events) {
        const Alarm& alarm = monitor_.alarms()[e.alarm];
        const QString reading = e.hasValue ? QStringLiteral("%1 %2").arg(e.value, 0, 'g', 10).arg(QString::fromStdString(e.unit))
                                           : QStringLiteral("no value");
        const QString name = QString::fromStdString(alarm.text);
        if (e.change == ConditionChange::Cleared) {
            status_.event(QStringLiteral("alarm cleared: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
            continue;
        }
        status_.event(QStringLiteral("alarm: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
        for (const auto& action : e.actions) {
            switch (action.kind) {
            case AlarmActionKind::Sound:
                if (::isatty(STDERR_FILENO) == 1) writeAll(STDERR_FILENO, "\a", 1);
                break;
            case AlarmActionKind::Message: status_.event(QString::fromStdString(action.text)); break;
            case AlarmActionKind::StopLogging: end(QStringLiteral("stopped by alarm ") + name); break;
            case AlarmActionKind::StartLogging: {
                const TriggerState before = trigger_.state();
                write(trigger_.startByHand(now()));
                if (before == TriggerState::Waiting) status_.event(QStringLiteral("started by alarm ") + name);
                break;
            }
            case AlarmActionKind::Mqtt:
                if (mqtt_)
                    mqtt_->publishTo(QStringLiteral("alarm"),
                                     QByteArray::fromStdString(alarmEventJson(alarm, e, action.text)));
                break;
            case AlarmActionKind::Run: {
                const CommandReading r = commandReadingOf(e, name);
                runner_.run(action.argv, r, [this](const CommandOutcome& o) {
                    if (!o.error.isEmpty())
                        status_.event(QStringLiteral("alarm command %1: %2").arg(o.argv.value(0), o.error));
                });
                break;
            }
            case AlarmActionKind::Mark: break;   // refused when the options were read
            }
        }
    }
}

QString BenchRun::statusText() const {
    QStringList parts{QStringLiteral("rows %1").arg(rowsWritten_)};
    for (const Meter& m : meters_) {
        const MeterReading& r = m.session->reading();
        const QString state = !m.source->linked()     ? QStringLiteral("lost")
                              : m.lastTime < 0         ? QStringLiteral("no reading yet")
                                                       : QStringLiteral("%1 %2").arg(QString::fromStdString(r.ValueText),
                                                                                     unitDisplayText(QString::fromStdString(r.UnitText)));
        parts << QStringLiteral("%1 %2").arg(QString::fromStdString(m.name), state.simplified());
    }
    return parts.join(QStringLiteral(" | "));
}

void BenchRun::end(const QString& why) {
    if (ended_) return;
    ended_ = true;
    sampling_.stop();
    alarmTick_.stop();
    duration_.stop();
    for (auto& m : meters_) m.session->close();
    status_.finish();
    if (mqtt_) mqtt_->finish(kMqttGraceMs);
    QString outcome = QStringLiteral("%1; %2 rows written").arg(why).arg(rowsWritten_);
    if (wide_.file.isOpen()) flushWide();
    for (OutFile* out : {&out_, &wide_}) {
        if (out->path.isEmpty() || !out->file.isOpen()) continue;
        if (!out->held.empty() && out->file.append(out->held.data(), out->held.size())) out->held.clear();
        const bool closed = out->file.close();
        if (!closed || !out->held.empty()) {
            outcome += QStringLiteral("; ") + out->path + QStringLiteral(" is missing rows (") + out->file.error() +
                       QStringLiteral(")");
            exitCode_ = 1;
        } else {
            outcome += QStringLiteral(", written into ") + out->path;
        }
    }
    status_.event(outcome);
    // A meter that said nothing the whole run (wrong port, meter off) must not look like success.
    const bool failedAlready = exitCode_ != 0;
    for (const Meter& m : meters_) {
        if (m.session->framesDecoded() > 0 || failedAlready) continue;
        std::cerr << "meterlink-cli log: no frame was received from " << m.name << " ("
                  << m.source->name().toLocal8Bit().constData() << ")\n";
        exitCode_ = 3;
    }
    QTimer::singleShot(0, qApp, [code = exitCode_] { QCoreApplication::exit(code); });
}
