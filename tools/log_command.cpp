// meterlink-cli log: reads a serial port or the USB cable, logs by the
// window's rules, prints each row as it is logged and keeps --out saved.

#include "log_command.h"

#include "log_bench.h"
#include "log_bench_run.h"
#include "log_options.h"
#include "log_out_file.h"
#include "log_out_pattern.h"
#include "log_session.h"
#include "log_status_line.h"
#include "mqtt_publisher.h"
#include "recording/json_lines_writer.h"
#include "serial_meter_source.h"
#include "stop_signal_notifier.h"
#include "usb_meter_source.h"
#include "bridge_meter_source.h"

#include "links/hid_platform_factory.h"
#include "links/socket_hid_platform.h"
#include "protocol/limit_value.h"
#include "protocol/model_profile.h"
#include "recording/data_files.h"
#include "recording/text_data_file.h"
#include "recording/unit_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>

#include <unistd.h>

namespace {

using meterlink::LogSession;

constexpr std::int64_t kLongestTimerMs = 86400000;   // a day: QTimer counts in int milliseconds
constexpr int kRetryWriteMs = 1000;   // held rows are tried again this often (and with every new row)

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

class HeadlessLog : public QObject {
public:
    HeadlessLog(const LogOptions& options, const meterlink::ModelProfile& profile)
        : options_(options),
          session_(options.rules, profile.fullCount),
          status_([this] { return statusText(); }, ::isatty(STDERR_FILENO) == 1),
          rowsOnStatusTerminal_(::isatty(STDERR_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1) {
        const meterlink::MeterModel& meter = options.rules.meter ? *options.rules.meter : meterlink::defaultMeter();
        const bool shipped = &meter == &meterlink::defaultMeter();
        if (options.source == LogOptions::Source::Port) {
            meterlink::LineSettings line = meter.line;
            if (shipped) line.baud = profile.serialBaud;
            source_ = std::make_unique<SerialMeterSource>(session_, options.port, line);
        } else {
            std::shared_ptr<HidPlatform> hid = options.usbSocket.isEmpty()
                                                   ? createHidPlatform()
                                                   : std::make_shared<SocketHidPlatform>(options.usbSocket.toStdString());
            if (meter.cable == meterlink::Cable::UtD09) {
                source_ = std::make_unique<BridgeMeterSource>(session_, std::move(hid), meter);
            } else {
                // The cable runs at the rate of the meter's row (its serial speed when none is given).
                const int baud = shipped ? profile.adapterBaud : meter.cableBaud > 0 ? meter.cableBaud : meter.line.baud;
                auto usb = std::make_unique<UsbMeterSource>(session_, std::move(hid), static_cast<std::uint32_t>(baud));
                usb->setStreamBytes(!shipped);
                usb->setSevenBitLine(meter.line.dataBits == 7);
                source_ = std::move(usb);
            }
        }
        connect(&session_, &LogSession::rowLogged, this, &HeadlessLog::rowLogged);
        connect(&session_, &LogSession::readingDecoded, this, [this] { status_.changed(); });
        connect(&session_, &LogSession::framelessBytes, this, [this] {
            status_.event(QString::fromStdString(meterlink::framelessBytesNotice(meterName())));
        });
        connect(&session_, &LogSession::full, this, [this] {
            end(QStringLiteral("record limit of %1 rows reached").arg(options_.rules.recordLimit));
        });
        connect(source_.get(), &MeterSource::lost, this, [this](const QString& reason) {
            status_.event(QStringLiteral("%1 lost (%2); trying again every %3 s")
                              .arg(source_->name(), reason)
                              .arg(MeterSource::kRetryMs / 1000));
        });
        connect(source_.get(), &MeterSource::returned, this, [this] {
            status_.event(QStringLiteral("%1 is back; logging goes on from No %2")
                              .arg(source_->name())
                              .arg(session_.logger().NextRecordNo()));
        });
        connect(source_.get(), &MeterSource::notice, this, [this](const QString& text) { status_.event(text); });
        if (options.mqtt.target) {
            mqtt_ = std::make_unique<MqttPublisher>(
                MqttPublisher::Settings{*options.mqtt.target, options.mqtt.caFile, options.mqtt.queueLimit});
            connect(mqtt_.get(), &MqttPublisher::notice, this, [this](const QString& text) { status_.event(text); });
        }
        startBench(meter);
        retry_.setInterval(kRetryWriteMs);
        connect(&retry_, &QTimer::timeout, this, &HeadlessLog::retryWriting);
        connect(&stop_, &StopSignalNotifier::stopRequested, this, [this](int number) {
            end(QStringLiteral("stopped by ") + StopSignalNotifier::signalName(number));
        });
    }

    // Checks --out and opens the source; an exit code when the run cannot start.
    std::optional<int> start() {
        QString why;
        if (isOutPattern(options_.out)) {
            outPattern_ = options_.out;
            options_.out = expandOutPattern(outPattern_, QDateTime::currentDateTime());
        }
        if (!options_.out.isEmpty()) {
            // A FIFO or a device would block the open or never hold a log.
            const QFileInfo info(options_.out);
            if (info.exists() && !info.isFile())
                return fail("cannot write " + options_.out,
                            QStringLiteral("it is not a regular file (a folder, FIFO or device); give a file"));
            if (LogOutFile::appendable(options_.out)) {
                std::optional<std::int32_t> lastNo;
                if (!outFile_->check(options_.out, options_.append, sep_, lastNo, why))
                    return fail("cannot write " + options_.out, why);
                appending_ = true;
                if (lastNo) session_.logger().continueNumberingAfter(*lastNo);
            } else {
                if (options_.append)
                    return fail("cannot append to " + options_.out,
                                QStringLiteral("an XML packet is written whole; --append continues text, CSV and "
                                               "JSON-lines files"));
                if (info.exists() && info.size() > 0)
                    return fail("cannot write " + options_.out,
                                QStringLiteral("the file exists and is not empty; give another name"));
                if (!LogOutFile::canCreate(options_.out, why)) return fail("cannot write " + options_.out, why);
            }
        }
        if (!source_->open(why)) return fail("cannot open " + source_->name(), why);
        // A stop asked for while the broker keeps us waiting ends the run at once.
        int stopSignal = 0;
        const auto stopAsked = [&] { return (stopSignal = stop_.takeRequest()) != 0; };
        if (mqtt_ && !mqtt_->start(why, kBrokerAnswerMs, stopAsked)) {
            if (stopSignal == 0) return fail("cannot publish to " + options_.mqtt.target->where(), why);
            status_.event(QStringLiteral("stopped by %1 before the MQTT broker answered; nothing was logged")
                              .arg(StopSignalNotifier::signalName(stopSignal)));
            return 0;
        }
        if (bench_ && !bench_->start(why)) return fail("cannot answer SCPI on --scpi's address", why);
        // Made only once the source is open: a run that cannot start leaves no file behind.
        if (appending_ && !outFile_->open(why)) return fail("cannot write " + options_.out, why);
        status_.event(QStringLiteral("logging %1%2").arg(source_->name(), options_.out.isEmpty()
                                                                             ? QString()
                                                                             : QStringLiteral(" into ") + options_.out));
        std::string header;
        options_.format->header(header, "\n");
        if (!header.empty()) printRow(header.data(), static_cast<qsizetype>(header.size()));
        if (ended_) return std::nullopt;   // nowhere to log to: the loop only has to stop
        if (!options_.out.isEmpty() && !appending_) {
            checkpoint_.setTimerType(Qt::VeryCoarseTimer);
            connect(&checkpoint_, &QTimer::timeout, this, &HeadlessLog::checkpoint);
            checkpoint_.start(options_.checkpointSeconds * 1000);
        }
        if (!outPattern_.isEmpty()) {
            midnight_.setSingleShot(true);
            connect(&midnight_, &QTimer::timeout, this, &HeadlessLog::nextDay);
            startMidnightTimer();
        }
        if (options_.limitGiven && options_.durationSeconds > 0) sayIfTheLimitComesFirst();
        if (options_.durationSeconds > 0) {
            deadline_.setRemainingTime(options_.durationSeconds * 1000, Qt::VeryCoarseTimer);
            duration_.setTimerType(Qt::VeryCoarseTimer);
            duration_.setSingleShot(true);
            connect(&duration_, &QTimer::timeout, this, &HeadlessLog::durationTick);
            durationTick();
        }
        status_.changed();
        return std::nullopt;
    }

private:
    // Calculated channels, alarms and the SCPI server, when asked for.
    void startBench(const meterlink::MeterModel& meter) {
        const BenchOptions& b = options_.bench;
        if (!b.scpi && b.calcs.empty() && b.alarms.empty()) return;
        auto siLimit = [this](const std::string& text) -> std::optional<double> {
            const meterlink::LimitValue limit = meterlink::parseLimit(text, sep_);
            if (limit.valid && limit.hasUnit) return limit.value;
            return std::nullopt;
        };
        LogBench::Hooks hooks;
        hooks.notice = [this](const QString& text) { status_.event(text); };
        hooks.stop = [this](const QString& why) { end(why); };
        hooks.sound = [] {
            if (::isatty(STDERR_FILENO) == 1) writeAll(STDERR_FILENO, "\a", 1);
        };
        hooks.mqtt = [this](const QByteArray& json) {
            if (mqtt_) mqtt_->publishTo(QStringLiteral("alarm"), json);
        };
        const std::string model = meter.model.empty() ? std::string("meter") : std::string(meter.model);
        bench_ = std::make_unique<LogBench>(b, options_.rules.intervalSeconds, siLimit(options_.rules.lowLimit),
                                            siLimit(options_.rules.highLimit),
                                            "MeterLink," + model + ",0," METERLINK_VERSION, std::move(hooks));
        connect(&session_, &LogSession::readingDecoded, this, [this] { bench_->reading(session_.reading(), sep_); });
        connect(&session_, &LogSession::rowLogged, this, [this] { bench_->rowLogged(session_.reading(), sep_); });
    }

    std::optional<int> fail(const QString& what, const QString& why) {
        std::cerr << "meterlink-cli log: " << what.toLocal8Bit().constData() << ": " << why.toLocal8Bit().constData()
                  << '\n';
        return 2;
    }

    void rowLogged(int row) {
        dirty_ = true;
        status_.changed();
        ++rowsLogged_;
        // The file first: a row printed is a row kept.
        if (appending_) writeRow(row);
        if (mqtt_) {
            // The same object a JSON-lines export holds for this row.
            std::string json;
            meterlink::appendJsonObject(json, meterlink::rowView(session_.table(), row), decimalSep_.toStdString());
            mqtt_->publish(QByteArray::fromStdString(json));
        }
        if (stdoutOpen_) {
            line_.clear();
            options_.format->row(line_, session_.table(), row, sep_, "\n");
            printRow(line_.data(), static_cast<qsizetype>(line_.size()));
        }
        // Only an XML packet needs the whole log; the others have written the
        // row, so a run of days holds no more than this in memory.
        if (!keepsTable() && session_.table().rowCount() >= kRowsInMemory) session_.forgetRows();
    }

    bool keepsTable() const { return !options_.out.isEmpty() && !appending_; }

    void writeRow(int row) {
        const std::size_t heldBefore = outFile_->heldRows();
        const std::int64_t droppedBefore = outFile_->droppedRows();
        if (outFile_->appendRow(session_.table(), row)) {
            if (heldBefore > 0) writingResumed(heldBefore);
            return;
        }
        const std::int32_t no = session_.table().integer(row, meterlink::RecordTable::No).value_or(0);
        if (heldBefore == 0) {
            status_.event(QStringLiteral("cannot write %1 (%2); rows from No %3 on are held in memory (up to %4 MiB) "
                                         "and written when it takes them again")
                              .arg(options_.out, outFile_->error())
                              .arg(no)
                              .arg(LogOutFile::kHeldBytesLimit >> 20));
            retry_.start();
        }
        if (droppedBefore == 0 && outFile_->droppedRows() > 0) {
            exitCode_ = 1;
            status_.event(QStringLiteral("the rows held for %1 fill their %2 MiB; rows from No %3 on are not kept "
                                         "for it (still printed)")
                              .arg(options_.out)
                              .arg(LogOutFile::kHeldBytesLimit >> 20)
                              .arg(no));
        }
    }

    void retryWriting() {
        const std::size_t held = outFile_->heldRows();
        if (held > 0 && outFile_->retry()) writingResumed(held);
    }

    void writingResumed(std::size_t held) {
        retry_.stop();
        QString text = QStringLiteral("writing %1 again: the %2 rows held were written").arg(options_.out).arg(held);
        if (outFile_->droppedRows() > 0)
            text += QStringLiteral("; %1 rows did not fit in memory and are not in it").arg(outFile_->droppedRows());
        status_.event(text);
    }

    void printRow(const char* line, qsizetype size) {
        if (rowsOnStatusTerminal_) status_.clearForOutput();
        const bool written = writeAll(STDOUT_FILENO, line, size);
        if (rowsOnStatusTerminal_) status_.outputDone();
        if (!written) stdoutFailed();
    }

    void stdoutFailed() {
        stdoutOpen_ = false;
        if (options_.out.isEmpty()) {
            exitCode_ = 1;
            end(QStringLiteral("standard output is closed, and there is no --out to log into"));
        } else {
            status_.event(QStringLiteral("standard output is closed; rows still go into ") + options_.out);
        }
    }

    bool save() {
        if (!meterlink::saveTableToFile(session_.table(), options_.out, &saveFailure_)) return false;
        dirty_ = false;
        saved_ = true;
        return true;
    }

    void checkpoint() {
        if (!dirty_ || save()) return;
        status_.event(meterlink::saveFailedMessage(options_.out) + QStringLiteral(": ") + saveFailure_ +
                      QStringLiteral("; trying again in %1 s")
                                                                      .arg(options_.checkpointSeconds));
    }

    // At the meter's pace the record limit may end the run long before
    // --duration: told at the start, not found out after the run.
    void sayIfTheLimitComesFirst() {
        const double rowsPerSecond =
            options_.rules.intervalSeconds > 0 ? 1.0 / options_.rules.intervalSeconds : kFramesPerSecond;
        const double limitSeconds = options_.rules.recordLimit / rowsPerSecond;
        if (limitSeconds >= static_cast<double>(options_.durationSeconds)) return;
        status_.event(QStringLiteral("--limit %1 comes before --duration: at about %2 rows a second the run ends "
                                     "after about %3 s, not %4 s")
                          .arg(options_.rules.recordLimit)
                          .arg(rowsPerSecond, 0, 'g', 3)
                          .arg(std::ceil(limitSeconds), 0, 'f', 0)
                          .arg(options_.durationSeconds));
    }

    void startMidnightTimer() {
        const QDateTime now = QDateTime::currentDateTime();
        // A second past midnight: a timer that fires early still names the new day.
        const qint64 ms = now.msecsTo(nextLocalMidnight(now)) + 1000;
        midnight_.start(static_cast<int>(std::min<qint64>(ms, kLongestTimerMs)));
    }

    // The pattern names another file now: rows from here on go into it.
    void nextDay() {
        startMidnightTimer();
        const QString next = expandOutPattern(outPattern_, QDateTime::currentDateTime());
        if (next == options_.out) return;
        if (!appending_) return;
        // Rows still held belong to the old file and are written there first.
        if (outFile_->heldRows() > 0 && !outFile_->retry()) {
            status_.event(QStringLiteral("%1 still holds back rows; the next file is tried again in a minute")
                              .arg(options_.out));
            midnight_.start(60000);
            return;
        }
        auto file = std::make_unique<LogOutFile>();
        std::optional<std::int32_t> lastNo;
        QString why;
        const QFileInfo info(next);
        if ((info.exists() && !info.isFile()) || !file->check(next, options_.append, sep_, lastNo, why) ||
            !file->open(why)) {
            if (why.isEmpty()) why = QStringLiteral("it is not a regular file");
            status_.event(QStringLiteral("cannot start %1 (%2); rows go on into %3").arg(next, why, options_.out));
            return;
        }
        outFile_->close();
        outFile_ = std::move(file);
        status_.event(QStringLiteral("rows from No %1 on go into %2")
                          .arg(session_.logger().NextRecordNo())
                          .arg(next));
        options_.out = next;
    }

    void durationTick() {
        if (deadline_.hasExpired()) {
            end(QStringLiteral("--duration elapsed"));
            return;
        }
        duration_.start(static_cast<int>(std::min<qint64>(deadline_.remainingTime(), kLongestTimerMs)));
    }

    void end(const QString& why) {
        if (ended_) return;
        ended_ = true;
        session_.close();
        checkpoint_.stop();
        duration_.stop();
        midnight_.stop();
        status_.finish();
        if (mqtt_) mqtt_->finish(kMqttGraceMs);
        QString outcome = QStringLiteral("%1; %2 rows logged").arg(why).arg(rowsLogged_);
        if (appending_) {
            retry_.stop();
            const QString reason = outFile_->error();
            if (!outFile_->close() || outFile_->droppedRows() > 0) {
                outcome += QStringLiteral("; ") + meterlink::saveFailedMessage(options_.out);
                const std::int64_t missing = static_cast<std::int64_t>(outFile_->heldRows()) + outFile_->droppedRows();
                if (missing > 0) outcome += QStringLiteral(": %1 rows are not in it (%2)").arg(missing).arg(reason);
                exitCode_ = 1;
            } else {
                outcome += QStringLiteral(", written into ") + options_.out;
            }
        } else if (!options_.out.isEmpty()) {
            if ((dirty_ || !saved_) && !save()) {
                outcome += QStringLiteral("; ") + meterlink::saveFailedMessage(options_.out) + QStringLiteral(": ") +
                           saveFailure_;
                exitCode_ = 1;
            } else {
                outcome += QStringLiteral(", saved in ") + options_.out;
            }
        }
        status_.event(outcome);
        // A run that heard nothing from the meter (wrong port, meter off, data
        // output not on) must not look like a quiet success to a script.
        if (session_.framesDecoded() == 0 && exitCode_ == 0) {
            std::cerr << "meterlink-cli log: no frame was received from "
                      << source_->name().toLocal8Bit().constData();
            // Bytes that never formed a frame point at the meter chosen, not the link.
            if (session_.bytesButNoFrame())
                std::cerr << ": bytes came but none formed a frame of " << meterName() << "; check the meter model";
            std::cerr << '\n';
            exitCode_ = 3;
        }
        // Queued: an end found before the event loop runs must still stop it.
        QTimer::singleShot(0, qApp, [code = exitCode_] { QCoreApplication::exit(code); });
    }

    std::string meterName() const {
        return meterlink::meterName(options_.rules.meter ? *options_.rules.meter : meterlink::defaultMeter());
    }

    QString statusText() const {
        const meterlink::MeterReading& r = session_.reading();
        const QString last = session_.framesDecoded() == 0
                                 ? QStringLiteral("no reading yet")
                                 : QStringLiteral("last %1 %2 %3 %4")
                                       .arg(QString::fromStdString(r.FunctionText), QString::fromStdString(r.ValueText),
                                            unitDisplayText(QString::fromStdString(r.UnitText)),
                                            QString::fromStdString(r.JudgeText));
        return QStringLiteral("rows %1 | rejected %2 | %3 | %4 %5")
            .arg(rowsLogged_)
            .arg(session_.framesRejected() + source_->framesRejected())
            .arg(last.simplified(), source_->name(),
                 source_->linked() ? QStringLiteral("open") : QStringLiteral("lost, retrying"));
    }

    // Rows kept for the status and the formats before they are forgotten.
    static constexpr int kRowsInMemory = 4096;
    // How long the start waits for the broker's answer.
    static constexpr int kBrokerAnswerMs = 10000;
    // The pace assumed for a record limit before any frame came.
    static constexpr double kFramesPerSecond = 3.0;
    // At the end, how long rows still queued for the broker may take.
    static constexpr int kMqttGraceMs = 3000;

    LogOptions options_;
    const std::string sep_ = QLocale().decimalPoint().toStdString();
    LogSession session_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<LogBench> bench_;
    const QString decimalSep_ = QLocale().decimalPoint();
    std::unique_ptr<MeterSource> source_;
    StopSignalNotifier stop_;
    LogStatusLine status_;
    const bool rowsOnStatusTerminal_;   // rows must not land on the status line
    QTimer checkpoint_;
    QTimer duration_;
    QDeadlineTimer deadline_;
    std::unique_ptr<LogOutFile> outFile_ = std::make_unique<LogOutFile>();
    QString outPattern_;   // --out as given, when it names a file by the date
    QTimer midnight_;
    bool appending_ = false;   // --out is written row by row
    QTimer retry_;             // while rows are held for --out
    std::int64_t rowsLogged_ = 0;
    std::string line_;
    bool dirty_ = false;    // rows logged since the last save
    bool saved_ = false;
    QString saveFailure_;   // why the last save failed
    bool stdoutOpen_ = true;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace

int runLog(int argc, char** argv) {
    static char name[] = "meterlink-cli";
    int qtArgc = 1;
    char* qtArgv[] = {name, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    // A reader of standard output that goes away must not end the run
    // unsaved; the failed write says it instead.
    std::signal(SIGPIPE, SIG_IGN);

    LogOptions options;
    std::string error;
    switch (parseLogOptions(argc, argv, QLocale().decimalPoint().toStdString(), options, error)) {
    case LogParse::Help: std::cout << logUsage(); return 0;
    case LogParse::Error:
        std::cerr << "meterlink-cli log: " << error << "\n(meterlink-cli log --help tells more)\n";
        return 2;
    case LogParse::Run: break;
    }
    const meterlink::ModelProfile profile = meterlink::resolveModelProfile(meterlink::buildSwitches());
    if (options.benchRun()) {
        BenchRun bench(options, profile, "MeterLink,bench,0," METERLINK_VERSION);
        if (const auto failed = bench.start()) return *failed;
        return QCoreApplication::exec();
    }
    HeadlessLog log(options, profile);
    if (const auto failed = log.start()) return *failed;
    return QCoreApplication::exec();
}
