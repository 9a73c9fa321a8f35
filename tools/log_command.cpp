// meterlink-cli log: reads a serial port or the USB cable, logs by the
// window's rules, prints each row as it is logged and keeps --out saved.

#include "log_command.h"

#include "log_options.h"
#include "log_out_file.h"
#include "log_session.h"
#include "log_status_line.h"
#include "mqtt_publisher.h"
#include "recording/json_lines_writer.h"
#include "serial_meter_source.h"
#include "stop_signal_notifier.h"
#include "usb_meter_source.h"

#include "links/hid_platform_factory.h"
#include "links/socket_hid_platform.h"
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
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>

#include <unistd.h>

namespace {

using meterlink::LogSession;

constexpr std::int64_t kLongestTimerMs = 86400000;   // a day: QTimer counts in int milliseconds

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
            // The cable runs at the rate of the meter's row (its serial speed when none is given).
            const int baud = shipped ? profile.adapterBaud : meter.cableBaud > 0 ? meter.cableBaud : meter.line.baud;
            auto usb = std::make_unique<UsbMeterSource>(session_, std::move(hid), static_cast<std::uint32_t>(baud));
            usb->setStreamBytes(!shipped);
            usb->setSevenBitLine(meter.line.dataBits == 7);
            source_ = std::move(usb);
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
        connect(&stop_, &StopSignalNotifier::stopRequested, this, [this](int number) {
            end(QStringLiteral("stopped by ") + StopSignalNotifier::signalName(number));
        });
    }

    // Checks --out and opens the source; an exit code when the run cannot start.
    std::optional<int> start() {
        QString why;
        if (!options_.out.isEmpty()) {
            if (LogOutFile::appendable(options_.out)) {
                std::optional<std::int32_t> lastNo;
                if (!outFile_.check(options_.out, options_.append, sep_, lastNo, why))
                    return fail("cannot write " + options_.out, why);
                appending_ = true;
                if (lastNo) session_.logger().continueNumberingAfter(*lastNo);
            } else {
                if (options_.append)
                    return fail("cannot append to " + options_.out,
                                QStringLiteral("an XML packet is written whole; --append continues text, CSV and "
                                               "JSON-lines files"));
                const QFileInfo info(options_.out);
                if (info.exists() && info.size() > 0)
                    return fail("cannot write " + options_.out,
                                QStringLiteral("the file exists and is not empty; give another name"));
                if (!LogOutFile::canCreate(options_.out, why)) return fail("cannot write " + options_.out, why);
            }
        }
        if (!source_->open(why)) return fail("cannot open " + source_->name(), why);
        if (mqtt_ && !mqtt_->start(why)) return fail("cannot publish to " + options_.mqtt.target->where(), why);
        // Made only once the source is open: a run that cannot start leaves no file behind.
        if (appending_ && !outFile_.open(why)) return fail("cannot write " + options_.out, why);
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
    std::optional<int> fail(const QString& what, const QString& why) {
        std::cerr << "meterlink-cli log: " << what.toLocal8Bit().constData() << ": " << why.toLocal8Bit().constData()
                  << '\n';
        return 2;
    }

    void rowLogged(int row) {
        dirty_ = true;
        status_.changed();
        // The file first: a row printed is a row kept.
        if (appending_ && !outFailed_ && !outFile_.appendRow(session_.table(), row)) {
            outFailed_ = true;
            exitCode_ = 1;
            status_.event(QStringLiteral("cannot write %1 (%2); rows from No %3 on are only printed")
                              .arg(options_.out, outFile_.error())
                              .arg(session_.table().integer(row, meterlink::RecordTable::No).value_or(0)));
        }
        if (mqtt_) {
            // The same object a JSON-lines export holds for this row.
            std::string json;
            meterlink::appendJsonObject(json, meterlink::rowView(session_.table(), row), decimalSep_.toStdString());
            mqtt_->publish(QByteArray::fromStdString(json));
        }
        if (!stdoutOpen_) return;
        line_.clear();
        options_.format->row(line_, session_.table(), row, sep_, "\n");
        printRow(line_.data(), static_cast<qsizetype>(line_.size()));
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
        status_.finish();
        if (mqtt_) mqtt_->finish(kMqttGraceMs);
        QString outcome = QStringLiteral("%1; %2 rows logged").arg(why).arg(session_.table().rowCount());
        if (appending_) {
            if (!outFile_.close() || outFailed_) {
                outcome += QStringLiteral("; ") + meterlink::saveFailedMessage(options_.out);
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
            .arg(session_.table().rowCount())
            .arg(session_.framesRejected() + source_->framesRejected())
            .arg(last.simplified(), source_->name(),
                 source_->linked() ? QStringLiteral("open") : QStringLiteral("lost, retrying"));
    }

    // At the end, how long rows still queued for the broker may take.
    static constexpr int kMqttGraceMs = 3000;

    LogOptions options_;
    const std::string sep_ = QLocale().decimalPoint().toStdString();
    LogSession session_;
    std::unique_ptr<MqttPublisher> mqtt_;
    const QString decimalSep_ = QLocale().decimalPoint();
    std::unique_ptr<MeterSource> source_;
    StopSignalNotifier stop_;
    LogStatusLine status_;
    const bool rowsOnStatusTerminal_;   // rows must not land on the status line
    QTimer checkpoint_;
    QTimer duration_;
    QDeadlineTimer deadline_;
    LogOutFile outFile_;
    bool appending_ = false;   // --out is written row by row
    bool outFailed_ = false;
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
    HeadlessLog log(options, meterlink::resolveModelProfile(meterlink::buildSwitches()));
    if (const auto failed = log.start()) return *failed;
    return QCoreApplication::exec();
}
