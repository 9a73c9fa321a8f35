#pragma once
// meterlink-cli log for a bench of meters: each meter on its own port, named
// CH1, CH2, ... in order, and calculated channels after them. One sampling
// clock takes every channel's latest reading at the same instant, so the
// rows line up: written in long form (a record per channel and instant) to
// standard output, --out and MQTT (one topic per channel), and in wide form
// to --wide. Recording triggers decide when rows start and stop; alarms act
// on every channel.

#include "log_bench.h"
#include "log_options.h"
#include "log_status_line.h"
#include "mqtt_publisher.h"
#include "serial_meter_source.h"
#include "stop_signal_notifier.h"

#include "channels/alarm_command_runner.h"
#include "channels/channel_board.h"
#include "channels/recording_trigger.h"
#include "protocol/model_profile.h"
#include "recording/bench_rows.h"
#include "recording/durable_append_file.h"
#include "serve/scpi_board.h"
#include "serve/scpi_server.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class BenchRun : public QObject {
public:
    // identity: what *IDN? answers.
    BenchRun(const LogOptions& options, const meterlink::ModelProfile& profile, std::string identity);
    ~BenchRun() override;

    // Checks the files and opens the ports; an exit code when the run cannot start.
    std::optional<int> start();

private:
    struct Meter {
        std::string name;   // CH1, CH2, ...
        std::unique_ptr<meterlink::LogSession> session;
        std::unique_ptr<SerialMeterSource> source;
        double lastTime = -1;   // bench clock of the latest reading; -1: none yet
    };
    // A file written row by row; rows the disk refuses wait in memory.
    struct OutFile {
        QString path;
        meterlink::DurableAppendFile file;
        std::string held;
        bool failed = false;
        bool dropping = false;   // held rows fill their bound
        bool empty = true;   // no row in it yet: it gets its header first
    };

    double now() const { return double(clock_.nsecsElapsed()) / 1e9; }
    void meterReading(std::size_t index);
    void tick();
    meterlink::BenchRow takeRow(double time);
    void write(const std::vector<meterlink::BenchRow>& rows);
    void writeOut(OutFile& out, const std::string& bytes);
    void flushWide();
    bool prepare(OutFile& out, const QString& path, QString& why);
    void handle(const std::vector<meterlink::AlarmEvent>& events);
    void end(const QString& why);
    std::optional<int> fail(const QString& what, const QString& why);
    QString statusText() const;
    double interval() const { return options_.bench.intervalSeconds > 0 ? options_.bench.intervalSeconds : 1.0; }

    LogOptions options_;
    const std::string sep_;
    std::string identity_;
    QElapsedTimer clock_;
    std::vector<Meter> meters_;
    meterlink::ChannelBoard board_;
    meterlink::ScpiBoard scpi_;
    std::unique_ptr<meterlink::ScpiServer> server_;
    meterlink::AlarmMonitor monitor_;
    meterlink::AlarmCommandRunner runner_;
    meterlink::RecordingTrigger<meterlink::BenchRow> trigger_;
    bool startsByHand_ = false;   // waits for an alarm that starts it
    std::unique_ptr<MqttPublisher> mqtt_;
    OutFile out_;
    OutFile wide_;
    meterlink::BenchWideCsv wideCsv_;
    bool wideHeader_ = false;
    std::vector<meterlink::BenchRow> widePending_;
    std::vector<meterlink::BenchSample> latestCalcs_;
    StopSignalNotifier stop_;
    LogStatusLine status_;
    QTimer sampling_;
    QTimer alarmTick_;
    QTimer duration_;
    QDeadlineTimer deadline_;
    std::string line_;
    bool stdoutOpen_ = true;
    bool ended_ = false;
    int exitCode_ = 0;
    std::int64_t rowsWritten_ = 0;
};
